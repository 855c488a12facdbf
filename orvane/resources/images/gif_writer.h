// A small GIF89a writer for the player's loading animation (Qt reads GIF but cannot write
// it): 8-bit frames sharing one palette, an optional transparent index, endless looping.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QVector>
#include <QtGlobal>

struct GifAnimation {
    int width = 0;
    int height = 0;
    QVector<QRgb> palette;       // at most 256 colours
    int transparentIndex = -1;   // -1: none
    int delayCentiseconds = 10;  // per frame
    QList<QByteArray> frames;    // width * height palette indexes each, row by row
};

// The whole file; empty when the animation is malformed (no frames, a frame of the wrong
// size, an index outside the palette).
QByteArray EncodeGif(const GifAnimation& animation);

// The palette index for every pixel of `image`: pixels with no alpha take
// `transparentIndex`, the others the nearest palette colour (other than the transparent one)
// after blending over `background`.
QByteArray IndexPixels(const QImage& image, const QVector<QRgb>& palette, int transparentIndex,
                       QRgb background);
