// The host program: the player control shown inside the browser control's window, in a
// process of its own. On each tick of its own 1000 ms timer it follows the URL that the page
// sent to the BT server, reports a changed play state back, and ends when the browser
// control's window is gone. Everything runs on the one user-interface thread.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <string>

#include "activex/host_window.h"
#include "com/variant.h"

class HostProgram : public QObject {
    Q_OBJECT
public:
    HostProgram(std::int32_t targetWindow, std::string url);

    // Creates the control, places it inside the target window, hands it the URL and starts
    // polling. An exit code when the program must end at once.
    std::optional<int> Start();

signals:
    void finished(int exitCode);

private:
    void Poll();
    void FollowUrl();
    void ReportState();
    com::Ptr<com::IDispatch> Control() const;
    void CallSetOvUrl();

    std::int32_t target_;
    std::string url_;         // UTF-8, the URL last handed to the control
    com::Variant lastState_;  // empty until the first report
    ax::HostWindow host_;
    QTimer timer_;
};
