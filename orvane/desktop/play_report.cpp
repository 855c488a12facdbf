#include "play_report.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QTimerEvent>
#include <cstdio>

#include "app_values.h"
#include "buffer_slider.h"
#include "desktop_window.h"
#include "named_objects.h"
#include "orvane_widget.h"
#include "picture_sample.h"
#include "player_controller.h"
#include "player_loading.h"
#include "widget_player_view.h"

namespace {

// The first picture is looked for often, so that its time is exact; later pictures only need
// counting.
constexpr int kFirstFrameStepMs = 20;
constexpr int kPictureStepMs = 200;
constexpr int kStatusStepMs = 1000;

int SecondsFromEnvironment(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

bool IsStream(int type) { return type == 3 || type == 8 || type == 9; }

QString Percent(double fraction) { return QString::number(qRound(fraction * 100)) + '%'; }

double HeldFraction(const BufferRanges& ranges) {
    double held = 0;
    for (const BufferRange& range : ranges) held += std::max(0.0f, range.second - range.first);
    return std::min(held, 1.0);
}

}  // namespace

std::optional<PlayReportOptions> PlayReportOptions::FromEnvironment() {
    const QString screenshot = qEnvironmentVariable("ORVANE_PLAY_REPORT");
    if (screenshot.isEmpty()) return std::nullopt;
    PlayReportOptions options;
    options.screenshot = screenshot;
    options.playSeconds = SecondsFromEnvironment("ORVANE_PLAY_REPORT_SECONDS", options.playSeconds);
    return options;
}

PlayReport::PlayReport(DesktopWindow& window, PlayReportOptions options, QElapsedTimer started)
    : window_(window), options_(std::move(options)), started_(started) {
    timer_ = startTimer(kFirstFrameStepMs, Qt::PreciseTimer);
    // A play that fails at once leaves its page again before the next look at the screen.
    if (auto* pages = Pages())
        connect(pages, &QStackedWidget::currentChanged, this, [this] {
            if (!MainPageShown()) playPageShown_ = true;
        });
}

void PlayReport::Print(const QString& line) const {
    std::printf("[%7lld ms] %s\n", static_cast<long long>(started_.elapsed()),
                line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void PlayReport::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_ || done_) return;
    FollowRequest();
    FollowBtUrl();
    auto* view =
        qobject_cast<WidgetPlayerView*>(FindNamedObject(QStringLiteral("WidgetPlayerView")));
    if (!view) {
        Print(QStringLiteral("the player has no player view"));
        Finish();
        return;
    }
    FollowEngine(*view);
    FollowPicture(*view);
    // From the request on, while the player view is shown: the task's figures appear while
    // the video opens.
    if (!requestUrl_.isEmpty() && !MainPageShown() && started_.elapsed() >= nextStatusAt_)
        PrintStatus(*view);
    if (playPageShown_ && MainPageShown()) {
        playPageShown_ = false;
        // A play that failed before its first picture shows none later: the report ends.
        if (firstFrameAt_ < 0) {
            Print(QStringLiteral("back on the main page without a picture"));
            Finish();
            return;
        }
        Print(QStringLiteral("back on the main page"));
    }
    if (Finished()) Finish();
}

void PlayReport::FollowRequest() {
    const QVariantMap request = window_.MainWidget()->LastVideoInfo();
    const QString url = request.value(QStringLiteral("url")).toString();
    if (url.isEmpty() || url == requestUrl_) return;
    requestUrl_ = url;
    // A new request starts afresh: it opens and shows its own pictures.
    opened_ = false;
    firstFrameAt_ = -1;
    pictures_ = 0;
    killTimer(timer_);
    timer_ = startTimer(kFirstFrameStepMs, Qt::PreciseTimer);
    nextStatusAt_ = started_.elapsed() + kStatusStepMs;
    Print(QStringLiteral("play request: type %1, %2")
              .arg(request.value(QStringLiteral("type")).toInt())
              .arg(url));
}

void PlayReport::FollowBtUrl() {
    const QString btUrl = AppValue(QStringLiteral("bturl")).toString();
    if (btUrl == btUrl_) return;
    btUrl_ = btUrl;
    Print(QStringLiteral("bturl %1").arg(btUrl.isEmpty() ? QStringLiteral("(none)") : btUrl));
}

void PlayReport::FollowEngine(WidgetPlayerView& view) {
    const int state = view.Engine().GetState();
    if (opened_ || requestUrl_.isEmpty() || (state != 3 && state != 5)) return;
    opened_ = true;
    Print(QStringLiteral("opened: %1 ms long").arg(view.Engine().GetDuration()));
}

void PlayReport::FollowPicture(WidgetPlayerView& view) {
    const QWidget* video = QWidget::find(view.Engine().GetConfig(20).toULongLong());
    // Until the video plays, its window is a sliver beside the loading animation.
    if (!video || !video->isVisible() || video->width() < 16 || !view.isVisible()) return;
    const PictureSample sample = SamplePicture(GrabFromScreen(*video));
    if (!sample.picture || sample.digest == lastDigest_) return;
    lastDigest_ = sample.digest;
    if (++pictures_ > 1) return;
    firstFrameAt_ = started_.elapsed();
    Print(QStringLiteral("first frame: a picture in the %1x%2 video window")
              .arg(video->width())
              .arg(video->height()));
    killTimer(timer_);
    timer_ = startTimer(kPictureStepMs);
}

void PlayReport::PrintStatus(WidgetPlayerView& view) {
    nextStatusAt_ = started_.elapsed() + kStatusStepMs;
    auto* bar = window_.MainWidget()->findChild<PlayerController*>();
    if (!bar) return;
    const auto* time = bar->findChild<QLabel*>(QStringLiteral("titleLabel"));
    QString line =
        QStringLiteral("state %1, position %2, %3 pictures")
            .arg(view.Engine().GetState())
            .arg(time ? time->text().replace(QStringLiteral("\r\n"), QStringLiteral(" / "))
                      : QString())
            .arg(pictures_);
    const int type = window_.MainWidget()->LastVideoInfo().value(QStringLiteral("type")).toInt();
    if (IsStream(type)) {
        const auto* slider = bar->findChild<BufferSlider*>(QStringLiteral("progressSlider"));
        const auto* speed = bar->findChild<QLabel*>(QStringLiteral("labelSpeed"));
        const auto* loading = view.findChild<PlayerLoading*>();
        const auto* percent = loading ? loading->findChild<QProgressBar*>() : nullptr;
        line += QStringLiteral(", task: loading %1%, bar buffered %2, speed %3")
                    .arg(percent ? percent->value() : 0)
                    .arg(slider ? Percent(HeldFraction(slider->Ranges())) : QStringLiteral("?"))
                    .arg(speed && speed->isVisible() ? speed->text() : QStringLiteral("not shown"));
    }
    Print(line);
}

QStackedWidget* PlayReport::Pages() const {
    return window_.MainWidget()->findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
}

bool PlayReport::MainPageShown() const {
    const QStackedWidget* pages = Pages();
    return pages && pages->currentWidget() &&
           pages->currentWidget()->objectName() == QLatin1String("emptyPage");
}

bool PlayReport::Finished() const {
    const qint64 now = started_.elapsed();
    if (firstFrameAt_ >= 0) return now - firstFrameAt_ >= options_.playSeconds * 1000LL;
    return now >= options_.firstFrameLimitSeconds * 1000LL;
}

void PlayReport::Finish() {
    done_ = true;
    killTimer(timer_);
    const QImage shot = GrabFromScreen(window_);
    const bool saved = !shot.isNull() && shot.save(options_.screenshot);
    Print(saved ? QStringLiteral("screenshot %1 (%2x%3)")
                      .arg(options_.screenshot)
                      .arg(shot.width())
                      .arg(shot.height())
                : QStringLiteral("screenshot %1 could not be saved").arg(options_.screenshot));
    Print(pictures_ >= 2   ? QStringLiteral("frames shown: %1 different pictures").arg(pictures_)
          : pictures_ == 1 ? QStringLiteral("no frames shown: one picture that never changed")
                           : QStringLiteral("no frames shown"));
    window_.close();
}
