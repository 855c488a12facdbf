#include "gif_writer.h"

#include <QHash>
#include <limits>

namespace {

void PutWord(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

// Collects variable-width codes least significant bit first and cuts them into the
// sub-blocks of at most 255 bytes that an image's data is made of.
class CodeWriter {
public:
    void Put(int code, int width) {
        bits_ |= quint32(code) << count_;
        count_ += width;
        while (count_ >= 8) {
            bytes_.append(char(bits_ & 0xFF));
            bits_ >>= 8;
            count_ -= 8;
        }
    }
    QByteArray Blocks() {
        if (count_ > 0) bytes_.append(char(bits_ & 0xFF));
        QByteArray out;
        for (int i = 0; i < bytes_.size(); i += 255) {
            const QByteArray block = bytes_.mid(i, 255);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append('\0');
        return out;
    }

private:
    quint32 bits_ = 0;
    int count_ = 0;
    QByteArray bytes_;
};

// LZW with 8-bit minimum code size: clear code 256, end code 257, codes up to 12 bits; the
// table starts afresh just before it is full. The code width grows exactly when a decoder,
// which adds each entry one code later than the encoder, grows it.
QByteArray CompressLzw(const QByteArray& indexes) {
    const int kLastCode = 4095;
    const int clear = 256;
    const int end = 257;
    CodeWriter writer;
    QHash<quint32, int> table;  // (prefix code << 8 | next index) -> code
    int width = 9;
    int next = end + 1;
    writer.Put(clear, width);
    int prefix = -1;
    for (const char c : indexes) {
        const int index = quint8(c);
        if (prefix < 0) {
            prefix = index;
            continue;
        }
        const quint32 key = (quint32(prefix) << 8) | quint32(index);
        const auto found = table.constFind(key);
        if (found != table.constEnd()) {
            prefix = *found;
            continue;
        }
        writer.Put(prefix, width);
        if (next < kLastCode) {
            table.insert(key, next);
            if (next == (1 << width) && width < 12) ++width;
            ++next;
        } else {
            writer.Put(clear, width);
            table.clear();
            width = 9;
            next = end + 1;
        }
        prefix = index;
    }
    if (prefix >= 0) {
        writer.Put(prefix, width);
        // The decoder adds its last entry on reading that code and may widen before the end.
        if (next == (1 << width) && width < 12) ++width;
    }
    writer.Put(end, width);
    return writer.Blocks();
}

bool IsWellFormed(const GifAnimation& a) {
    if (a.width <= 0 || a.height <= 0 || a.frames.isEmpty()) return false;
    if (a.palette.isEmpty() || a.palette.size() > 256) return false;
    for (const QByteArray& frame : a.frames) {
        if (frame.size() != a.width * a.height) return false;
        for (const char c : frame)
            if (quint8(c) >= a.palette.size()) return false;
    }
    return true;
}

void PutHeader(QByteArray& out, const GifAnimation& a) {
    out.append("GIF89a");
    PutWord(out, a.width);
    PutWord(out, a.height);
    out.append(char(0xF7));  // global colour table of 256 entries, 8 bits per primary
    out.append('\0');        // background colour index
    out.append('\0');        // square pixels
    for (int i = 0; i < 256; ++i) {
        const QRgb rgb = i < a.palette.size() ? a.palette[i] : 0;
        out.append(char(qRed(rgb)));
        out.append(char(qGreen(rgb)));
        out.append(char(qBlue(rgb)));
    }
    // Loop for ever.
    out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
    PutWord(out, 0);
    out.append('\0');
}

void PutFrame(QByteArray& out, const GifAnimation& a, const QByteArray& frame) {
    const bool transparent = a.transparentIndex >= 0;
    // Graphic control: each frame replaces the last one (restore to background).
    out.append("\x21\xF9\x04", 3);
    out.append(char((2 << 2) | (transparent ? 1 : 0)));
    PutWord(out, a.delayCentiseconds);
    out.append(char(transparent ? a.transparentIndex : 0));
    out.append('\0');
    out.append(',');
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, a.width);
    PutWord(out, a.height);
    out.append('\0');  // no local colour table, not interlaced
    out.append(char(8));
    out.append(CompressLzw(frame));
}

int Distance(QRgb a, QRgb b) {
    const int r = qRed(a) - qRed(b), g = qGreen(a) - qGreen(b), bl = qBlue(a) - qBlue(b);
    return r * r + g * g + bl * bl;
}

QRgb BlendOver(QRgb pixel, QRgb background) {
    const int alpha = qAlpha(pixel);
    auto mix = [alpha](int fg, int bg) { return (fg * alpha + bg * (255 - alpha)) / 255; };
    return qRgb(mix(qRed(pixel), qRed(background)), mix(qGreen(pixel), qGreen(background)),
                mix(qBlue(pixel), qBlue(background)));
}

}  // namespace

QByteArray EncodeGif(const GifAnimation& animation) {
    if (!IsWellFormed(animation)) return {};
    QByteArray out;
    PutHeader(out, animation);
    for (const QByteArray& frame : animation.frames) PutFrame(out, animation, frame);
    out.append(';');
    return out;
}

QByteArray IndexPixels(const QImage& image, const QVector<QRgb>& palette, int transparentIndex,
                       QRgb background) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray indexes;
    indexes.reserve(argb.width() * argb.height());
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb pixel = argb.pixel(x, y);
            if (qAlpha(pixel) == 0 && transparentIndex >= 0) {
                indexes.append(char(transparentIndex));
                continue;
            }
            const QRgb seen = BlendOver(pixel, background);
            int best = 0;
            int bestDistance = std::numeric_limits<int>::max();
            for (int i = 0; i < palette.size(); ++i) {
                if (i == transparentIndex) continue;
                const int d = Distance(seen, palette[i]);
                if (d < bestDistance) best = i, bestDistance = d;
            }
            indexes.append(char(best));
        }
    }
    return indexes;
}
