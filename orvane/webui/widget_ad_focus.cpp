#include "widget_ad_focus.h"

namespace {

const AdWindowKind kFocusAd = {"WidgetAdFocus",
                               "Orvane焦点广告",
                               "get_adlist.html?type=focus",
                               QSize(698, 429),
                               "#WidgetAdFocus\n{\n\tbackground-color:#3c4144;\n}",
                               Qt::Horizontal};

}  // namespace

WidgetAdFocus::WidgetAdFocus(QWidget* parent) : AdWindow(kFocusAd, parent) {}
