// A window that stands in for the main widget in the player view's window tests: the view over
// its control bar, taking the calls the view makes on the main widget by name. As in the main
// widget's form, the bar sits in a panel of its own, so its geometry is not the window's. The
// view counts the engine's seeks and picture sizes it is told of.
#pragma once

#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>

#include "player_controller.h"
#include "widget_player_view.h"

class CountingView : public WidgetPlayerView {
public:
    using WidgetPlayerView::WidgetPlayerView;
    int seeks = 0;
    int pictureSizes = 0;

protected:
    com::HRESULT OnSeekCompleted(int position) override {
        ++seeks;
        return WidgetPlayerView::OnSeekCompleted(position);
    }
    com::HRESULT OnVideoSizeChanged() override {
        ++pictureSizes;
        return WidgetPlayerView::OnVideoSizeChanged();
    }
};

class PlayerWindowStandIn : public QWidget {
    Q_OBJECT
public:
    PlayerWindowStandIn() {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        view = new CountingView(this);
        auto* panel = new QWidget(this);
        auto* panelLayout = new QVBoxLayout(panel);
        panelLayout->setContentsMargins(0, 0, 0, 0);
        bar = new PlayerController(panel);
        panelLayout->addWidget(bar);
        layout->addWidget(view, 1);
        layout->addWidget(panel);
        view->SetController(bar);
    }
    Q_INVOKABLE void ShowMain() { calls << QStringLiteral("ShowMain"); }
    Q_INVOKABLE void ShowFullScreen() { calls << QStringLiteral("ShowFullScreen"); }
    Q_INVOKABLE void ShowNormal() { calls << QStringLiteral("ShowNormal"); }
    Q_INVOKABLE void PlayRecent() { calls << QStringLiteral("PlayRecent"); }
    Q_INVOKABLE void UpdateLastVideoInfo(int) {}

    CountingView* view;
    PlayerController* bar;
    QStringList calls;
};
