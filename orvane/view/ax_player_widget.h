// The widget that hosts the playback engine's video window inside the player view.
#pragma once

#include "activex/host_window.h"

class AxPlayerWidget : public ax::HostWindow {
    Q_OBJECT

public:
    // Hosts `engine` (a reference of its own) and places its video window inside itself.
    AxPlayerWidget(com::IUnknown* engine, QWidget* parent);
    ~AxPlayerWidget() override;

protected:
    // Pointer moves end here: the view learns of them from the engine's messages, which it
    // posts to this widget, so they do not travel further up on their own.
    void mouseMoveEvent(QMouseEvent* event) override;
};
