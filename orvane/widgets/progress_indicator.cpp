#include "progress_indicator.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimerEvent>
#include <algorithm>

SpokeGeometry SpokeGeometryFor(int side) {
    SpokeGeometry g{};
    g.outerRadius = static_cast<int>((side - 1) * 0.5);
    g.innerRadius = static_cast<int>((side - 1) * 0.25);
    g.length = g.outerRadius - g.innerRadius;
    // Thinner spokes on a large indicator, so it does not look heavy.
    g.width = static_cast<int>(g.length * (side > 32 ? 0.23 : 0.35));
    g.cornerRadius = g.width / 2;
    return g;
}

QProgressIndicator::QProgressIndicator(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::NoFocus);
}

QSize QProgressIndicator::sizeHint() const { return QSize(20, 20); }

int QProgressIndicator::heightForWidth(int w) const { return w; }

void QProgressIndicator::startAnimation() {
    angle_ = 0;
    if (timerId_ == -1) timerId_ = startTimer(delay_);
}

void QProgressIndicator::stopAnimation() {
    if (timerId_ != -1) killTimer(timerId_);
    timerId_ = -1;
    update();
}

void QProgressIndicator::setAnimationDelay(int delay) {
    const bool running = timerId_ != -1;
    if (running) killTimer(timerId_);
    delay_ = delay;
    timerId_ = running ? startTimer(delay_) : -1;
}

void QProgressIndicator::setDisplayedWhenStopped(bool state) {
    displayedWhenStopped_ = state;
    update();
}

void QProgressIndicator::setColor(const QColor& color) {
    color_ = color;
    update();
}

void QProgressIndicator::setInfo(const QString& info) { info_ = info; }

void QProgressIndicator::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timerId_) return;
    angle_ = (angle_ + 30) % 360;
    update();
}

void QProgressIndicator::paintEvent(QPaintEvent*) {
    if (!displayedWhenStopped_ && !isAnimated()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 16), 2));
    PaintSpokes(painter, std::min(width(), height()));
    PaintInfo(painter);
}

void QProgressIndicator::PaintSpokes(QPainter& painter, int side) {
    const SpokeGeometry g = SpokeGeometryFor(side);
    for (int i = 0; i < 12; ++i) {
        QColor spoke = color_;
        spoke.setAlphaF(1.0 - i / 12.0);
        painter.setBrush(spoke);
        painter.save();
        painter.translate(QRectF(rect()).center());
        painter.rotate(angle_ - i * 30);
        painter.drawRoundedRect(static_cast<int>(-g.width * 0.5), -(g.innerRadius + g.length),
                                g.width, g.length, g.cornerRadius, g.cornerRadius);
        painter.restore();
    }
}

void QProgressIndicator::PaintInfo(QPainter& painter) {
    if (info_.isEmpty()) return;
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(14);
    font.setWeight(QFont::ExtraLight);  // weight 200 on the 100..900 scale
    font.setItalic(false);
    QPainterPath path;
    path.addText(0, 0, font, info_);
    const QRectF bounds = path.boundingRect();
    path.translate(width() / 2 - bounds.width() * 0.5, height() / 2 + bounds.height() * 0.5);
    painter.setBrush(QColor(255, 255, 255, 196));
    painter.drawPath(path);
}
