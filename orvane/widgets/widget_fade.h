// The fade-out that the player's fading widgets share: "windowOpacity" from 1.0 to 0.0 in
// 300 ms (linear), then the widget is hidden and made fully opaque again, ready to be shown.
#pragma once

#include <QPointer>

class QGraphicsOpacityEffect;
class QParallelAnimationGroup;
class QPropertyAnimation;
class QWidget;

class WidgetFade {
public:
    // The animation group and its "windowOpacity" animation are children of `widget`.
    explicit WidgetFade(QWidget* widget);

    // Starts the fade (a running fade goes on) and connects the group's end, once, to the
    // widget's slot `endSlot` (given with SLOT()), which calls End().
    void Start(const char* endSlot);
    // Hides the widget, restores full opacity and disconnects the group's end, so that the
    // next fade connects afresh.
    void End();

    QParallelAnimationGroup* Group() const { return group_; }

private:
    void AddChildOpacity();

    QWidget* widget_;
    QParallelAnimationGroup* group_;  // owned by the widget
    QPropertyAnimation* opacity_;     // owned by the group
    // Only windows honour "windowOpacity"; a child widget fades through an opacity effect
    // that lives for the length of one fade.
    QPointer<QGraphicsOpacityEffect> effect_;
    QPointer<QPropertyAnimation> effectOpacity_;
};
