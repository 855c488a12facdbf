// The focus advertisement: the page "get_adlist.html?type=focus" in a larger window that the
// window system places.
#pragma once

#include "ad_window.h"

class WidgetAdFocus : public AdWindow {
    Q_OBJECT

public:
    explicit WidgetAdFocus(QWidget* parent = nullptr);
};
