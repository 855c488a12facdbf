// The report of a play without anyone watching (the main job without a display, its test and
// the benchmark): it follows what the player shows on the screen and prints each step with
// the time since the program started (the request, the opening, the first picture, the bar's
// time and the stream's figures once a second, a return to the main page), and ends the
// program once the picture has played for a while, or when no picture came (the play went
// back to the main page without one, or none came within two minutes). Every figure is
// read from the player itself: the picture from the video window's pixels on the display, the
// rest from the control bar, the loading overlay, the player view's engine and the value
// "bturl". The exit code is 0 when moving pictures were shown.
//
// Asked for with ORVANE_PLAY_REPORT=<screenshot file>; ORVANE_PLAY_REPORT_SECONDS sets how long
// the picture plays before the report ends (5 s by default).
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <optional>

class DesktopWindow;
class QStackedWidget;
class WidgetPlayerView;

struct PlayReportOptions {
    QString screenshot;
    int playSeconds = 5;
    int firstFrameLimitSeconds = 120;

    // Empty when the report was not asked for.
    static std::optional<PlayReportOptions> FromEnvironment();
};

class PlayReport : public QObject {
    Q_OBJECT

public:
    // `started` runs since the program's start; every line gives its time.
    PlayReport(DesktopWindow& window, PlayReportOptions options, QElapsedTimer started);

    // 0 once the player showed moving pictures, 1 otherwise.
    int ExitCode() const { return pictures_ >= 2 ? 0 : 1; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Print(const QString& line) const;
    void FollowRequest();
    void FollowBtUrl();
    void FollowEngine(WidgetPlayerView& view);
    void FollowPicture(WidgetPlayerView& view);
    void PrintStatus(WidgetPlayerView& view);
    QStackedWidget* Pages() const;
    bool MainPageShown() const;
    bool Finished() const;
    void Finish();

    DesktopWindow& window_;
    PlayReportOptions options_;
    QElapsedTimer started_;
    int timer_ = 0;
    QString requestUrl_;
    QString btUrl_;
    bool playPageShown_ = false;  // since the main page was last shown
    bool opened_ = false;
    qint64 firstFrameAt_ = -1;
    qint64 nextStatusAt_ = 0;
    quint64 lastDigest_ = 0;
    int pictures_ = 0;  // distinct pictures seen in the video window
    bool done_ = false;
};
