// The control bar's progress slider. Right of the handle it also paints the buffered parts
// of the stream, so the user sees how far playback can go without waiting.
#pragma once

#include <QList>
#include <QPair>
#include <QSlider>

// Start and end of one buffered part, as fractions of the groove's width (0.0 to 1.0).
using BufferRange = QPair<float, float>;
using BufferRanges = QList<BufferRange>;

class BufferSlider : public QSlider {
    Q_OBJECT

public:
    explicit BufferSlider(QWidget* parent = nullptr);

    // Replaces the ranges as given (no merge, no sort); they show from the next paint on.
    void SetBufferRanges(const BufferRanges& ranges) { ranges_ = ranges; }
    const BufferRanges& Ranges() const { return ranges_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BufferRanges ranges_;
};
