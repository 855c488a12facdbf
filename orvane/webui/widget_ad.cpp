#include "widget_ad.h"

#include <QGuiApplication>
#include <QScreen>

#include "ad_corner.h"

namespace {

const AdWindowKind kTrayAd = {"widgetAd",
                              "Orvane托盘广告",
                              "get_adlist.html?type=login",
                              QSize(302, 287),
                              "#widgetAd{\n\n\tbackground-color:#3c4144;\n}",
                              Qt::Vertical};

}  // namespace

WidgetAd::WidgetAd(QWidget* parent) : AdWindow(kTrayAd, parent) {}

void WidgetAd::PlaceOnLoad() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(AdCorner(screen->availableGeometry(), size()));
}
