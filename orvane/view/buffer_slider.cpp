#include "buffer_slider.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSlider>

BufferSlider::BufferSlider(QWidget* parent) : QSlider(parent) {}

void BufferSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);

    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // Only what lies right of the handle's centre is still to be played.
    const QRect unplayed(QPoint(handle.left() + handle.width() / 2 + 1, groove.top()),
                         groove.bottomRight());

    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(unplayed, 3.0, 3.0, Qt::AbsoluteSize);
    painter.setClipPath(clip, Qt::ReplaceClip);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(117, 160, 223, 255));
    for (const BufferRange& range : ranges_) {
        QRect part = unplayed;
        part.setLeft(static_cast<int>(groove.width() * range.first));
        part.setRight(static_cast<int>(groove.width() * range.second));
        painter.drawRect(part);
    }

    painter.setClipping(false);
    option.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}
