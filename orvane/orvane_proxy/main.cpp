// orvane_proxy: shows the player control inside a browser control's window, in a process of
// its own. The BT server starts it for a page's "play" with "-win=<window> -url=<URL>".
#include <QApplication>
#include <string>
#include <vector>

#include "host_program.h"
#include "proxy_command_line.h"
#include "window/x11_window.h"

int main(int argc, char** argv) {
    const ProxyCommandLine line =
        ParseProxyCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.targetWindow <= 0 ||
        !platform::window::IsWindow(static_cast<platform::window::WindowHandle>(line.targetWindow)))
        return 0;

    // The switches are ours; Qt sees none of them (a URL could look like one of its own).
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    // The host window lives inside a foreign one; only the poll decides when to end.
    app.setQuitOnLastWindowClosed(false);
    HostProgram host(line.targetWindow, line.url);
    if (const std::optional<int> exitCode = host.Start()) return *exitCode;
    QObject::connect(&host, &HostProgram::finished, &app, &QCoreApplication::exit);
    return app.exec();
}
