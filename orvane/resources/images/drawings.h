// The player's images, drawn with QPainter: the icons of the bars and dialogs, the logo and
// the frames of the loading animation. Every picture here is made from plain shapes.
#pragma once

#include <QImage>
#include <QList>
#include <QString>

struct NamedImage {
    QString name;  // file name under ":/image/"
    QImage image;
};

// Every still image, each under the name the player's code loads it by.
QList<NamedImage> DrawStillImages();

// The frames of the loading animation, on a transparent background.
QList<QImage> DrawLoadingFrames();
