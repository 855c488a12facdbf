// The player control made for a test the way a host makes it, in an install folder of the
// test's own (so its store, settings and the BT server it starts are the test's), with the
// web service stand-in as its base URL and a browser opener that records what it is given.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QStackedWidget>
#include <QTest>
#include <QUdpSocket>
#include <QWebFrame>
#include <QWebView>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app_values.h"
#include "ax_wrap_widget.h"
#include "com/module.h"
#include "orvane_widget.h"
#include "platform/drives.h"
#include "scoped_app_directory.h"
#include "testsupport/temp_dir.h"
#include "udp_hand_off.h"
#include "webservice_process.h"

namespace main_widget_testing {

// A UDP port on 127.0.0.1 that was free a moment ago.
inline quint16 FreeUdpPort() {
    QUdpSocket socket;
    socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return socket.localPort();
}

// Registers the control library at `path` for the test's user, as the run script registers
// the control.
inline ::testing::AssertionResult RegisterControlLibrary(const char* path) {
    void* library = dlopen(path, RTLD_NOW);
    if (!library) return ::testing::AssertionFailure() << dlerror();
    auto registerServer =
        reinterpret_cast<com::DllRegisterServerFn>(dlsym(library, "DllRegisterServer"));
    if (!registerServer || registerServer() != com::S_OK)
        return ::testing::AssertionFailure() << "DllRegisterServer failed";
    return ::testing::AssertionSuccess();
}

inline bool WaitFor(const std::function<bool()>& condition, int ms = 10000) {
    return QTest::qWaitFor(condition, ms);
}

class MainWidgetTest : public ::testing::Test {
protected:
    // Other players of the machine (other tests) may hold the shipped hand-off port; each test
    // takes one of its own.
    void SetUp() override {
        // The settings' folders lie in the test's folder, not on the machine's drives.
        platform::SetFixedDrivesForTesting(
            std::vector<platform::Drive>{{temp.file("drive"), 1000, 1, 1}});
        SetHandOffPort(handOffPort);
        // The value map is the process's: what an earlier test left must not play here.
        RemoveAppValue("videoPath");
        RemoveAppValue("adTextList");
    }
    void TearDown() override {
        control.reset();
        SetHandOffPort(0);
        SetResolveTimeoutForTesting(0);
        platform::SetFixedDrivesForTesting(std::nullopt);
    }

    // Starts the web service with `arguments` and points the configuration at it.
    void StartService(const std::vector<std::string>& arguments = {}) {
        service = std::make_unique<webservice_testing::WebServiceProcess>(arguments);
        ASSERT_TRUE(service->Started());
        WriteConfig("[param]\nbaseurl=" + service->BaseUrl() + "\n" + extraConfig);
    }
    void WriteConfig(const std::string& text) {
        testsupport::WriteFile(temp.file("cfg/config.ini"), text);
    }
    void MakeControl() {
        control = std::make_unique<AXWrapWidget>();
        main = control->mainWidget();
    }

    // Hands `path` over as another start of the player does, from another thread: the sender
    // waits until the player has taken the datagram, while this thread runs the player.
    bool SendHandOff(const std::string& path) {
        std::atomic<int> result{-1};
        std::thread sender([&] {
            std::string error;
            result = HandOffToRunningPlayer(path, error, handOffPort) ? 1 : 0;
        });
        WaitFor([&] { return result != -1; }, 15000);
        sender.join();
        return result == 1;
    }

    template <typename T>
    T* Child(const char* name) {
        return main->findChild<T*>(name);
    }
    QWebFrame* Frame(const char* view) { return Child<QWebView>(view)->page()->mainFrame(); }
    QString Eval(const char* view, const QString& script) {
        return Frame(view)->evaluateJavaScript(script).toString();
    }
    QWidget* CurrentPage() { return Child<QStackedWidget>("stackedWidget")->currentWidget(); }
    std::string BrowserLog() { return testsupport::ReadFile(browserLog); }
    // The addresses handed to the browser, in sorted order: each goes out through a program
    // of its own, so two in quick succession may be written in either order.
    std::string SortedBrowserLog() {
        QStringList lines = QString::fromStdString(BrowserLog()).split('\n', Qt::SkipEmptyParts);
        lines.sort();
        return (lines.join('\n') + (lines.isEmpty() ? "" : "\n")).toStdString();
    }

    testsupport::TempDir temp;
    ScopedAppDirectory app{temp.file("bin")};
    // What the settings save (start at login, associations, folders) stays in the test too.
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", temp.file("xdg/config")};
    testsupport::ScopedEnv data{"XDG_DATA_HOME", temp.file("xdg/data")};
    testsupport::ScopedEnv cache{"XDG_CACHE_HOME", temp.file("xdg/cache")};
    std::string browserLog = temp.file("browser.txt");
    // A browser opener of our own, first on the path, records each address it is given.
    testsupport::ScopedEnv path{
        "PATH", [this] {
            testsupport::WriteFile(temp.file("tools/xdg-open"),
                                   "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + browserLog + "'\n");
            chmod(temp.file("tools/xdg-open").c_str(), 0755);
            const char* old = std::getenv("PATH");
            return temp.file("tools") + ":" + (old ? old : "/usr/bin:/bin");
        }()};
    quint16 handOffPort = FreeUdpPort();
    std::string extraConfig;
    std::unique_ptr<webservice_testing::WebServiceProcess> service;
    std::unique_ptr<AXWrapWidget> control;
    orvane* main = nullptr;
};

}  // namespace main_widget_testing
