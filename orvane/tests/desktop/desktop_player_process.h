// The desktop program started as a user starts it, for the end-to-end tests: `orvane <what>`
// from an install folder of the test's own, with the play report on, and what the program
// prints read line by line. Also what the tests need around it: the BT server processes that
// a player started, closing a player's window the way a window manager asks it to, and a
// look at the display.
#pragma once

#include <sys/types.h>

#include <QImage>
#include <QProcess>
#include <QRegularExpressionMatch>
#include <QStringList>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

class DesktopPlayerProcess {
public:
    // Starts <bin>/orvane with `arguments` in `workingDirectory`, with the environment of the
    // test and `environment` on top; through `launcher` (a program and its arguments that
    // runs the rest of its command line, such as one that changes the user) when given.
    DesktopPlayerProcess(const std::string& bin, const QStringList& arguments,
                         const QProcessEnvironment& environment,
                         const QString& workingDirectory = QString(),
                         const QStringList& launcher = QStringList());
    ~DesktopPlayerProcess();
    DesktopPlayerProcess(const DesktopPlayerProcess&) = delete;
    DesktopPlayerProcess& operator=(const DesktopPlayerProcess&) = delete;

    qint64 Pid() const { return process_.processId(); }
    // The next printed line, after the last one found, that matches `pattern`; empty when
    // none comes within `limit` or the program ends first.
    std::optional<QRegularExpressionMatch> WaitForLine(
        const QString& pattern, std::chrono::milliseconds limit = std::chrono::seconds(120));
    // The exit code once the program ended within `limit`; empty otherwise.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Everything printed so far, and the end of the error output, for failure messages.
    QString Output() const { return lines_.join('\n'); }
    QString ErrorTail() const;

private:
    void ReadLines();

    QProcess process_;
    QString errorFile_;
    QString pending_;
    QStringList lines_;
    int next_ = 0;  // the first line WaitForLine has not passed yet
};

// The processes running <bin>/orvane -startbt.
std::vector<pid_t> BtServersOf(const std::string& bin);
// Kills `pid` with SIGKILL and waits (bounded) until it is gone. True when gone.
bool KillAndWait(pid_t pid);

// The largest shown top-level window of process `pid`; 0 when it has none.
unsigned long LargestWindowOf(qint64 pid);
// Asks that window to close, as a window manager does (WM_DELETE_WINDOW). False when the
// process has no such window.
bool AskToCloseWindowOf(qint64 pid);

// The whole display as it is now.
QImage GrabDisplay();
// True when `image` holds a video's colourful picture: strongly coloured pixels of many hues,
// which the player's own dark form with its blue slider does not have.
bool ShowsColourfulPicture(const QImage& image);

// A UDP port on 127.0.0.1 that was free a moment ago.
quint16 FreeUdpPort();
