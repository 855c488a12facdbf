#include "ax_wrap_widget.h"

#include <QHBoxLayout>

#include "init_environment.h"
#include "object_safety_impl.h"
#include "orvane_widget.h"

AXWrapWidget::AXWrapWidget(QWidget* parent) : QWidget(parent) {
    InitEnvironment();
    m_mainWidget = new orvane(nullptr);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_mainWidget);
}

AXWrapWidget::~AXWrapWidget() { delete m_mainWidget; }

std::unique_ptr<ax::Aggregated> AXWrapWidget::createAggregate() {
    return std::make_unique<ObjectSafetyImpl>();
}

QString AXWrapWidget::getOvUrl() { return QString(); }

void AXWrapWidget::setOvUrl(QString url) {
    if (!url.isEmpty()) m_mainWidget->setOvUrl(url);
}

QString AXWrapWidget::getState() { return QString::number(m_mainWidget->GetState()); }

void AXWrapWidget::setState(QString state) { Q_UNUSED(state); }

void AXWrapWidget::closeEvent(QCloseEvent* event) { Q_UNUSED(event); }

void AXWrapWidget::hideEvent(QHideEvent* event) { Q_UNUSED(event); }
