// The main job as the README gives it, on a machine without a display: `bash scripts/run.sh`
// builds what is missing, makes its sample video, seeds a torrent of it on 127.0.0.1 and plays
// that torrent in the player under a private Xvfb; it ends with 0 only when frames were shown.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>

#include "desktop_player_process.h"
#include "testsupport/temp_dir.h"

namespace {

TEST(RunScriptE2ETest, TheMainJobWithoutADisplayPlaysTheSampleTorrentAndShowsFrames) {
    testsupport::TempDir temp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(display);
    environment.insert("ORVANE_BUILD_DIR", ORVANE_BUILD_DIR);
    environment.insert("ORVANE_SCREENSHOT", QString::fromStdString(temp.file("shot.png")));
    // A user of the test's own: the controls are registered for it, and the stream lands in
    // its cache, where no other test's player purges it while it downloads.
    for (const char* folder : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        environment.insert(folder, QString::fromStdString(temp.file(folder)));
    QProcess run;
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start("bash", {ORVANE_SOURCE_DIR "/scripts/run.sh"});
    ASSERT_TRUE(run.waitForStarted());
    // Bounded only against a job that never ends: the build check alone takes a while.
    const bool ended = run.waitForFinished(15 * 60 * 1000);
    const QString output = QString::fromLocal8Bit(run.readAll());
    ASSERT_TRUE(ended) << output.toStdString();
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0) << output.toStdString();
    for (const char* step : {"play request: type 8, ",
                             "opened: ", "first frame: ", "position 0:00:", "different pictures"})
        EXPECT_TRUE(output.contains(step)) << step << " missing in:\n" << output.toStdString();
    EXPECT_TRUE(ShowsColourfulPicture(QImage(QString::fromStdString(temp.file("shot.png")))));
}

}  // namespace
