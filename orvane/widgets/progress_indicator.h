// A busy indicator: twelve rounded spokes turning around the centre, each a twelfth more
// transparent than the one before it, with an optional text in the middle.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QProgressIndicator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int delay READ animationDelay WRITE setAnimationDelay)
    Q_PROPERTY(bool displayedWhenStopped READ isDisplayedWhenStopped WRITE setDisplayedWhenStopped)
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    explicit QProgressIndicator(QWidget* parent = nullptr);

    int animationDelay() const { return delay_; }
    bool isAnimated() const { return timerId_ != -1; }
    bool isDisplayedWhenStopped() const { return displayedWhenStopped_; }
    const QColor& color() const { return color_; }
    const QString& info() const { return info_; }
    // Rotation of the first spoke in degrees (0 to 330 in steps of 30).
    int angle() const { return angle_; }

    QSize sizeHint() const override;
    int heightForWidth(int w) const override;

public slots:
    void startAnimation();
    void stopAnimation();
    // A running animation goes on at the new speed; a stopped one stays stopped.
    void setAnimationDelay(int delay);
    void setDisplayedWhenStopped(bool state);
    void setColor(const QColor& color);
    // Shown from the next paint on.
    void setInfo(const QString& info);

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintSpokes(QPainter& painter, int side);
    void PaintInfo(QPainter& painter);

    int angle_ = 0;
    int timerId_ = -1;
    int delay_ = 40;
    bool displayedWhenStopped_ = false;
    QColor color_ = Qt::black;
    QString info_;
};

// Sizes of the spokes for a square of `side` pixels, in whole pixels.
struct SpokeGeometry {
    int outerRadius;
    int innerRadius;
    int length;
    int width;
    int cornerRadius;
};
SpokeGeometry SpokeGeometryFor(int side);
