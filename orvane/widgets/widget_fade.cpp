#include "widget_fade.h"

#include <QGraphicsOpacityEffect>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QWidget>

namespace {

constexpr int kFadeMs = 300;

void SetUpFade(QPropertyAnimation* animation) {
    animation->setDuration(kFadeMs);
    animation->setStartValue(1.0);
    animation->setEndValue(0.0);
    animation->setEasingCurve(QEasingCurve::Linear);
}

}  // namespace

WidgetFade::WidgetFade(QWidget* widget)
    : widget_(widget),
      group_(new QParallelAnimationGroup(widget)),
      opacity_(new QPropertyAnimation(widget, "windowOpacity", widget)) {
    group_->addAnimation(opacity_);
}

void WidgetFade::Start(const char* endSlot) {
    SetUpFade(opacity_);
    if (!widget_->isWindow()) AddChildOpacity();
    QObject::connect(group_, SIGNAL(finished()), widget_, endSlot, Qt::UniqueConnection);
    group_->start();
}

void WidgetFade::AddChildOpacity() {
    if (effectOpacity_) return;  // this fade already has its effect
    effect_ = new QGraphicsOpacityEffect(widget_);
    widget_->setGraphicsEffect(effect_);
    effectOpacity_ = new QPropertyAnimation(effect_, "opacity");
    SetUpFade(effectOpacity_);
    group_->addAnimation(effectOpacity_);
}

void WidgetFade::End() {
    widget_->hide();
    widget_->setWindowOpacity(1.0);
    if (effectOpacity_) {
        group_->removeAnimation(effectOpacity_);
        delete effectOpacity_;
    }
    // The widget deletes its effect when the effect is taken away.
    if (effect_ && widget_->graphicsEffect() == effect_) widget_->setGraphicsEffect(nullptr);
    QObject::disconnect(group_, SIGNAL(finished()), widget_, nullptr);
}
