#include "picture_sample.h"

#include <QScreen>
#include <QSet>
#include <QWidget>

namespace {

// The grab is judged at a small size in colours of 4 bits per channel: enough to tell a video
// picture from an empty window and one picture from the next, not enough for the noise of a
// software renderer to count as a change.
constexpr int kSampleWidth = 48;
constexpr int kSampleHeight = 27;

quint32 Coarse(QRgb pixel) {
    return (quint32(qRed(pixel)) >> 4) << 8 | (quint32(qGreen(pixel)) >> 4) << 4 |
           (quint32(qBlue(pixel)) >> 4);
}

}  // namespace

PictureSample SamplePicture(const QImage& grab) {
    PictureSample sample;
    if (grab.isNull()) return sample;
    const QImage small =
        grab.scaled(kSampleWidth, kSampleHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    QSet<quint32> colours;
    quint64 digest = 1469598103934665603ULL;  // FNV-1a
    for (int y = 0; y < small.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(small.constScanLine(y));
        for (int x = 0; x < small.width(); ++x) {
            const quint32 colour = Coarse(line[x]);
            colours.insert(colour);
            digest = (digest ^ colour) * 1099511628211ULL;
        }
    }
    sample.picture = colours.size() > 1;
    sample.digest = digest;
    return sample;
}

QImage GrabFromScreen(const QWidget& widget) {
    QScreen* screen = widget.screen();
    if (!screen) return QImage();
    const QPoint origin = widget.mapToGlobal(QPoint(0, 0));
    return screen->grabWindow(0, origin.x(), origin.y(), widget.width(), widget.height()).toImage();
}
