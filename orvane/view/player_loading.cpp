#include "player_loading.h"

#include <QCloseEvent>
#include <QLayout>

#include "ui_player_loading.h"

PlayerLoading::PlayerLoading(QWidget* parent) : QWidget(parent), ui_(new Ui::PlayerLoading) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    ui_->setupUi(this);
    ui_->widgetLoading->hide();
    ui_->widgetLoading->setColor(QColor(255, 255, 255, 255));
    ui_->progressBarLoading->setRange(0, 100);
}

PlayerLoading::~PlayerLoading() = default;

void PlayerLoading::SetPercent(int percent) {
    ui_->widgetLoading->setInfo(percent == -1 ? QString() : QString("%1%").arg(percent));
    ui_->progressBarLoading->setValue(percent == -1 ? 0 : percent);
}

void PlayerLoading::ShrinkToIndicator() {
    ui_->widgetLoading->hide();
    ui_->labelTitle->hide();
    ui_->progressBarLoading->hide();
    ui_->labelInfo->hide();
    // Until the layouts run again, the window's minimum size still counts the parts just
    // hidden and would keep the window large: run the inner one, then the window's.
    ui_->widget->layout()->activate();
    layout()->invalidate();
    layout()->activate();
    setGeometry(QRect(pos(), QSize(150, 150)));
    hide();
}

void PlayerLoading::setVisible(bool visible) { QWidget::setVisible(visible && HasVisiblePart()); }

bool PlayerLoading::HasVisiblePart() const {
    for (const QWidget* part :
         {static_cast<QWidget*>(ui_->widgetLoading), static_cast<QWidget*>(ui_->labelTitle),
          static_cast<QWidget*>(ui_->progressBarLoading), static_cast<QWidget*>(ui_->labelInfo)})
        if (!part->isHidden()) return true;
    return false;
}

void PlayerLoading::SetStatusText(const QString&, const QString&) {}

void PlayerLoading::showEvent(QShowEvent*) {}

void PlayerLoading::hideEvent(QHideEvent*) { ui_->widgetLoading->stopAnimation(); }

void PlayerLoading::closeEvent(QCloseEvent* event) {
    // The view holds this overlay for its whole life; a close from the window manager (such
    // as Alt+F4 on the overlay) would delete it behind the view's back.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
