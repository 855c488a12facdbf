// What a grab of the video window shows: a picture, or one flat colour (the black of a window
// with nothing drawn in it yet), and a digest that tells two pictures apart.
#pragma once

#include <QImage>
#include <QtGlobal>

class QWidget;

struct PictureSample {
    bool picture = false;  // more than one colour, after small differences are set aside
    quint64 digest = 0;    // equal for the same picture, whatever noise the scaling leaves
};

PictureSample SamplePicture(const QImage& grab);

// The global rectangle of a widget of this process, as the display shows it.
QImage GrabFromScreen(const QWidget& widget);
