#include "ax_player_widget.h"

AxPlayerWidget::AxPlayerWidget(com::IUnknown* engine, QWidget* parent) : ax::HostWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setControl(engine);
    setMouseTracking(true);
}

AxPlayerWidget::~AxPlayerWidget() {
    // The engine still draws into its video window; as a child of this widget the window would
    // go with it while the engine may live on. Handed back hidden, it goes with the engine.
    if (QWidget* video = controlWidget()) {
        video->hide();
        video->setParent(nullptr);
    }
}

void AxPlayerWidget::mouseMoveEvent(QMouseEvent*) {}
