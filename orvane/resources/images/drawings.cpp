#include "drawings.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>

namespace {

const QColor kLight(0xe6, 0xe6, 0xe6);   // icons on the dark bars
const QColor kMuted(0x99, 0x99, 0x99);   // icons that sit on dark and light alike
const QColor kDark(0x55, 0x55, 0x55);    // icons on white menus and dialogs
const QColor kAccent(0xf4, 0x9c, 0x0f);  // the player's orange
const QColor kBlue(0x45, 0x83, 0xdd);    // the sliders' blue

using Draw = std::function<void(QPainter&)>;

QImage Paint(int w, int h, const Draw& draw) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return image;
}

QPen Stroke(const QColor& color, qreal width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Polygon(QPainter& p, const QColor& color, std::initializer_list<QPointF> points) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(QPolygonF(QVector<QPointF>(points)));
}

QImage Cross(int side, const QColor& color, qreal inset, qreal width) {
    return Paint(side, side, [=](QPainter& p) {
        p.setPen(Stroke(color, width));
        p.drawLine(QPointF(inset, inset), QPointF(side - inset, side - inset));
        p.drawLine(QPointF(side - inset, inset), QPointF(inset, side - inset));
    });
}

// Four corner brackets; `outwards` points them at the corners (enter full screen).
QImage Corners(bool outwards) {
    return Paint(20, 20, [=](QPainter& p) {
        p.setPen(Stroke(kLight, 2));
        const qreal a = 3, b = 8, c = 12, d = 17;  // edges and inner steps
        for (int corner = 0; corner < 4; ++corner) {
            const bool right = corner & 1, bottom = corner & 2;
            const qreal x = right ? d : a, y = bottom ? d : a;
            const qreal inX = right ? c : b, inY = bottom ? c : b;
            if (outwards) {
                p.drawPolyline(QPolygonF({QPointF(x, inY), QPointF(x, y), QPointF(inX, y)}));
            } else {
                p.drawPolyline(QPolygonF({QPointF(x, inY), QPointF(inX, inY), QPointF(inX, y)}));
            }
        }
    });
}

// A speaker with `waves` sound waves; none and a small cross for silence.
QImage Volume(int waves) {
    return Paint(20, 14, [=](QPainter& p) {
        Polygon(p, kLight,
                {QPointF(1, 4.5), QPointF(4, 4.5), QPointF(8, 1), QPointF(8, 13), QPointF(4, 9.5),
                 QPointF(1, 9.5)});
        p.setPen(Stroke(kLight, 1.4));
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < waves; ++i) {
            const qreal r = 2.5 + i * 3;
            p.drawArc(QRectF(8 - r, 7 - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
        }
        if (waves == 0) {
            p.drawLine(QPointF(12, 4.5), QPointF(17, 9.5));
            p.drawLine(QPointF(17, 4.5), QPointF(12, 9.5));
        }
    });
}

// Three list lines beside a chevron; `towardsList` points the chevron left.
QImage ListToggle(bool towardsList) {
    return Paint(20, 20, [=](QPainter& p) {
        p.setPen(Stroke(kLight, 1.6));
        for (int i = 0; i < 3; ++i) p.drawLine(QPointF(9, 5 + i * 5), QPointF(17, 5 + i * 5));
        const qreal tip = towardsList ? 2.5 : 6.5, back = towardsList ? 6.5 : 2.5;
        p.drawPolyline(QPolygonF({QPointF(back, 6), QPointF(tip, 10), QPointF(back, 14)}));
    });
}

QImage Logo(int side) {
    return Paint(side, side, [=](QPainter& p) {
        const qreal s = side;
        QLinearGradient shade(0, 0, 0, s);
        shade.setColorAt(0, QColor(0xf7, 0xb3, 0x3d));
        shade.setColorAt(1, QColor(0xe0, 0x7b, 0x08));
        p.setPen(Qt::NoPen);
        p.setBrush(shade);
        p.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.22, s * 0.22);
        p.setPen(Stroke(QColor(255, 255, 255, 170), s * 0.05));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(s * 0.2, s * 0.2, s * 0.6, s * 0.6), 110 * 16, 250 * 16);
        Polygon(
            p, Qt::white,
            {QPointF(s * 0.42, s * 0.34), QPointF(s * 0.68, s * 0.5), QPointF(s * 0.42, s * 0.66)});
    });
}

QImage CheckBox(bool checked) {
    return Paint(14, 14, [=](QPainter& p) {
        p.setPen(QPen(checked ? kBlue : QColor(0xbb, 0xbb, 0xbb), 1));
        p.setBrush(checked ? kBlue : Qt::white);
        p.drawRoundedRect(QRectF(0.5, 0.5, 13, 13), 2, 2);
        if (!checked) return;
        p.setPen(Stroke(Qt::white, 1.8));
        p.drawPolyline(QPolygonF({QPointF(3.5, 7), QPointF(6, 9.5), QPointF(10.5, 4.5)}));
    });
}

QImage Radio(bool checked) {
    return Paint(14, 14, [=](QPainter& p) {
        p.setPen(QPen(checked ? kBlue : QColor(0xbb, 0xbb, 0xbb), 1));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(0.5, 0.5, 13, 13));
        if (!checked) return;
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(3.5, 3.5, 7, 7));
    });
}

QImage WindowButton(const Draw& draw) { return Paint(20, 20, draw); }

QImage Minimise() {
    return WindowButton([](QPainter& p) {
        p.setPen(Stroke(kLight, 1.5));
        p.drawLine(QPointF(5, 14), QPointF(15, 14));
    });
}

QImage Maximise() {
    return WindowButton([](QPainter& p) {
        p.setPen(Stroke(kLight, 1.5));
        p.drawRect(QRectF(5, 5, 10, 10));
    });
}

QImage Restore() {
    return WindowButton([](QPainter& p) {
        p.setPen(Stroke(kLight, 1.5));
        p.drawRect(QRectF(4.5, 7.5, 8, 8));
        p.drawPolyline(QPolygonF({QPointF(7.5, 4.5), QPointF(15.5, 4.5), QPointF(15.5, 12.5)}));
    });
}

QImage PlayerTab() {
    return Paint(22, 22, [](QPainter& p) {
        p.setPen(Stroke(kLight, 1.5));
        p.drawRoundedRect(QRectF(2.5, 4.5, 17, 13), 2.5, 2.5);
        Polygon(p, kLight, {QPointF(9, 8), QPointF(14.5, 11), QPointF(9, 14)});
    });
}

QImage ShowTab() {
    return Paint(22, 22, [](QPainter& p) {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal r = (i % 2) ? 3.6 : 8.5;
            const qreal a = qDegreesToRadians(-90.0 + i * 36.0);
            star << QPointF(11 + r * qCos(a), 11.5 + r * qSin(a));
        }
        p.setPen(Stroke(kLight, 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(star);
    });
}

QImage Bin() {
    return Paint(16, 16, [](QPainter& p) {
        p.setPen(Stroke(QColor(0xcc, 0xcc, 0xcc), 1.3));
        p.drawLine(QPointF(2.5, 4), QPointF(13.5, 4));
        p.drawLine(QPointF(6, 2), QPointF(10, 2));
        p.drawPolyline(QPolygonF({QPointF(4, 4), QPointF(5, 14), QPointF(11, 14), QPointF(12, 4)}));
        p.drawLine(QPointF(7, 6.5), QPointF(7, 11.5));
        p.drawLine(QPointF(9, 6.5), QPointF(9, 11.5));
    });
}

QImage Exit() {
    return Paint(16, 16, [](QPainter& p) {
        p.setPen(Stroke(kDark, 1.6));
        p.drawArc(QRectF(2.5, 3, 11, 11), 125 * 16, 290 * 16);
        p.drawLine(QPointF(8, 1.5), QPointF(8, 8));
    });
}

QImage MenuBackground() {
    // The menu's icon column: a light band with a hairline, repeated down the menu.
    QImage image(30, 4, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(QRect(0, 0, 28, 4), QColor(0xf2, 0xf2, 0xf2));
    p.fillRect(QRect(28, 0, 1, 4), QColor(0xe3, 0xe3, 0xe3));
    return image;
}

QImage WaitBorder() {
    return Paint(16, 16, [](QPainter& p) {
        p.setPen(QPen(QColor(255, 255, 255, 60), 1));
        p.setBrush(QColor(0, 0, 0, 180));
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 4, 4);
    });
}

QImage PlayingMark() {
    return Paint(16, 16, [](QPainter& p) {
        Polygon(p, kAccent, {QPointF(4, 2.5), QPointF(13, 8), QPointF(4, 13.5)});
    });
}

QImage SettingsLogo() {
    const QImage mark = Logo(32);
    QImage image(41, 36, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.drawImage(QPoint((41 - 32) / 2, (36 - 32) / 2), mark);
    return image;
}

}  // namespace

QList<NamedImage> DrawStillImages() {
    return {
        {"Play.png",
         Paint(11, 14,
               [](QPainter& p) {
                   Polygon(p, kLight, {QPointF(0.5, 0.5), QPointF(10.5, 7), QPointF(0.5, 13.5)});
               })},
        {"Pause.png", Paint(11, 14,
                            [](QPainter& p) {
                                p.fillRect(QRectF(0.5, 0.5, 3.5, 13), kLight);
                                p.fillRect(QRectF(7, 0.5, 3.5, 13), kLight);
                            })},
        {"ico_stop.png", Paint(20, 20,
                               [](QPainter& p) {
                                   p.setPen(Qt::NoPen);
                                   p.setBrush(kLight);
                                   p.drawRoundedRect(QRectF(5, 5, 10, 10), 1.5, 1.5);
                               })},
        {"fullscreen.png", Corners(true)},
        {"fullscreen_exit.png", Corners(false)},
        {"media_volume_0.png", Volume(0)},
        {"media_volume_1.png", Volume(1)},
        {"media_volume_2.png", Volume(2)},
        {"media_volume_3.png", Volume(3)},
        {"ico_shrink.png", ListToggle(false)},
        {"ico_expand.png", ListToggle(true)},
        {"ico_bar_arrow.png",
         Paint(16, 16,
               [](QPainter& p) {
                   p.setPen(Stroke(kLight, 1.6));
                   p.drawPolyline(QPolygonF({QPointF(4, 6), QPointF(8, 10), QPointF(12, 6)}));
               })},
        {"ico_bar_close.png", Cross(20, kMuted, 5, 1.6)},
        {"ico_bar_min.png", Minimise()},
        {"ico_bar_max.png", Maximise()},
        {"ico_bar_restore.png", Restore()},
        {"ico_bar_player.png", PlayerTab()},
        {"ico_bar_show.png", ShowTab()},
        {"ico_clean.png", Bin()},
        {"ico_exit.png", Exit()},
        {"menu_bg.png", MenuBackground()},
        {"ico_login_close.png", Cross(22, QColor(0xdd, 0xdd, 0xdd), 6, 1.8)},
        {"ico_settings_checked.png", CheckBox(true)},
        {"ico_settings_uncheck.png", CheckBox(false)},
        {"ico_settings_radio_checked.png", Radio(true)},
        {"ico_settings_radio_uncheck.png", Radio(false)},
        {"ico_settings_close.png", Cross(20, QColor(0x88, 0x88, 0x88), 5, 1.6)},
        {"play_2.png", PlayingMark()},
        {"player_icon.png", Logo(128)},
        {"settings_log.png", SettingsLogo()},
        {"tarsel_64x64.png", Logo(64)},
        {"tarsel_96x96.png", Logo(96)},
        {"wait_dialog_border.png", WaitBorder()},
    };
}

QList<QImage> DrawLoadingFrames() {
    // Eight dots on a ring; the bright one steps round, trailed by fading ones.
    const int kFrames = 8;
    QList<QImage> frames;
    for (int f = 0; f < kFrames; ++f) {
        frames.append(Paint(64, 64, [=](QPainter& p) {
            p.setPen(Qt::NoPen);
            for (int i = 0; i < kFrames; ++i) {
                const int age = (f - i + kFrames) % kFrames;
                QColor dot = age == 0 ? kBlue : Qt::white;
                dot.setAlpha(age == 0 ? 255 : qMax(40, 200 - age * 40));
                p.setBrush(dot);
                const qreal a = qDegreesToRadians(-90.0 + i * 360.0 / kFrames);
                const qreal r = age == 0 ? 5.5 : 4.5;
                p.drawEllipse(QPointF(32 + 20 * qCos(a), 32 + 20 * qSin(a)), r, r);
            }
        }));
    }
    return frames;
}
