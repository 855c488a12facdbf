// The tray advertisement: the page "get_adlist.html?type=login" in a small window that sits
// in the bottom-right corner of the screen's available area.
#pragma once

#include "ad_window.h"

class WidgetAd : public AdWindow {
    Q_OBJECT

public:
    explicit WidgetAd(QWidget* parent = nullptr);

protected:
    // Back into the corner at every successful load: the screen's panels may have changed.
    void PlaceOnLoad() override;
};
