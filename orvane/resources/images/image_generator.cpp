// Draws the player's images into a folder at build time and lists them in a resource file,
// which the control library compiles in under ":/image/".
//   orvane_image_generator <output folder>
// writes <output folder>/image/<name> for every image and <output folder>/images.qrc.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstdio>

#include "drawings.h"
#include "gif_writer.h"

namespace {

const char kLoadingAnimation[] = "loading_wanming.gif";
// The colour behind the loading animation in the player; half-transparent edges are mixed
// with it, since a GIF pixel is either opaque or fully transparent.
const QRgb kAnimationBackground = qRgb(0x17, 0x18, 0x1b);

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Index 0 is transparent; the rest runs from the background to white and to the dots' blue.
QVector<QRgb> AnimationPalette() {
    QVector<QRgb> palette{qRgba(0, 0, 0, 0)};
    const QRgb ends[] = {qRgb(255, 255, 255), qRgb(0x45, 0x83, 0xdd)};
    for (const QRgb end : ends) {
        for (int i = 0; i < 127; ++i) {
            const qreal t = i / 126.0;
            auto mix = [t](int a, int b) { return qRound(a + (b - a) * t); };
            palette.append(qRgb(mix(qRed(kAnimationBackground), qRed(end)),
                                mix(qGreen(kAnimationBackground), qGreen(end)),
                                mix(qBlue(kAnimationBackground), qBlue(end))));
        }
    }
    return palette;
}

QByteArray LoadingAnimation() {
    GifAnimation gif;
    gif.palette = AnimationPalette();
    gif.transparentIndex = 0;
    gif.delayCentiseconds = 10;
    for (const QImage& frame : DrawLoadingFrames()) {
        gif.width = frame.width();
        gif.height = frame.height();
        gif.frames.append(IndexPixels(frame, gif.palette, 0, kAnimationBackground));
    }
    return EncodeGif(gif);
}

QByteArray ResourceList(const QStringList& names) {
    QByteArray qrc = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <qresource prefix=\"/\">\n";
    for (const QString& name : names) qrc += "    <file>image/" + name.toUtf8() + "</file>\n";
    qrc += "  </qresource>\n</RCC>\n";
    return qrc;
}

int Fail(const QString& what) {
    std::fprintf(stderr, "orvane_image_generator: %s\n", qPrintable(what));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Painting into images needs no display, so the generator runs on any build machine.
    QCoreApplication app(argc, argv);
    if (argc != 2) return Fail("usage: orvane_image_generator <output folder>");
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath("image")) return Fail("cannot create " + out.filePath("image"));

    QStringList names;
    for (const NamedImage& still : DrawStillImages()) {
        const QString path = out.filePath("image/" + still.name);
        if (!still.image.save(path, "PNG")) return Fail("cannot write " + path);
        names << still.name;
    }
    const QByteArray gif = LoadingAnimation();
    const QString gifPath = out.filePath(QString("image/") + kLoadingAnimation);
    if (gif.isEmpty() || !WriteFile(gifPath, gif)) return Fail("cannot write " + gifPath);
    names << kLoadingAnimation;

    const QString qrcPath = out.filePath("images.qrc");
    if (!WriteFile(qrcPath, ResourceList(names))) return Fail("cannot write " + qrcPath);
    return 0;
}
