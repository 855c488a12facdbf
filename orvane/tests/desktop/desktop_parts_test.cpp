// The desktop program's parts that need no display: what an argument asks to play, the mark
// of a running player, the hand-off port, and how a grab of the video window is judged.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include "hand_off.h"
#include "picture_sample.h"
#include "play_target.h"
#include "player_lock.h"
#include "testsupport/hostile_files.h"
#include "testsupport/temp_dir.h"

namespace {

class PlayTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteFile(temp.file("clip.mp4"), "not looked into");
        testsupport::WriteFile(temp.file("good.TORRENT"), "d4:infod6:lengthi1e4:name4:clipee");
        testsupport::WriteFile(temp.file("broken.torrent"), "d4:infod6:lengthi1ee");
        testsupport::WriteFile(temp.file("folder/.keep"), "");
        QDir::setCurrent(QString::fromStdString(temp.path()));
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    QString Path(const char* name) const {
        return QFileInfo(QString::fromStdString(temp.file(name))).absoluteFilePath();
    }

    testsupport::TempDir temp;
    QString previous_ = QDir::currentPath();
};

TEST_F(PlayTargetTest, EachKindOfArgumentGetsTheTypeThePlayerGivesIt) {
    const struct {
        QString argument;
        int type;
        QString url;
    } cases[] = {
        {"magnet:?xt=urn:btih:0123", 9, "magnet:?xt=urn:btih:0123"},
        {"MAGNET:?xt=urn:btih:0123", 9, "MAGNET:?xt=urn:btih:0123"},
        {"KvBt://abc", 9, "KvBt://abc"},
        {" http://127.0.0.1:9/a b.mp4 ", 2, "http://127.0.0.1:9/a b.mp4"},
        {"rtsp://127.0.0.1/live", 2, "rtsp://127.0.0.1/live"},
        {"ov://AbC", 2, "ov://AbC"},
        {"clip.mp4", 6, Path("clip.mp4")},
        {"./folder/../clip.mp4", 6, Path("clip.mp4")},
        {"file://" + Path("clip.mp4"), 6, Path("clip.mp4")},
        {"good.TORRENT", 8, Path("good.TORRENT")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        QString error;
        const auto target = ReadPlayTarget(c.argument, error);
        ASSERT_TRUE(target) << error.toStdString();
        EXPECT_EQ(target->type, c.type);
        EXPECT_EQ(target->url, c.url);
    }
}

TEST_F(PlayTargetTest, WhatCannotBePlayedIsRefusedWithItsReason) {
    const struct {
        QString argument;
        QString reason;
    } cases[] = {
        {"missing.mp4", "missing.mp4: no such file"},
        {"folder", "folder: is a folder"},
        {"broken.torrent", "broken.torrent: not a torrent file"},
        {"file://" + Path("missing.torrent"), "missing.torrent: no such file"},
        {"  ", "names nothing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        QString error;
        EXPECT_FALSE(ReadPlayTarget(c.argument, error));
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
    }
}

TEST_F(PlayTargetTest, ADeviceAFifoOrALinkToADeviceIsRefusedAtOnceWithoutBeingRead) {
    for (const auto& hostile : testsupport::MakeHostileFiles(temp.path())) {
        SCOPED_TRACE(hostile.what);
        for (const QString& argument : {QString::fromStdString(hostile.path),
                                        "file://" + QString::fromStdString(hostile.path)}) {
            QString error;
            bool refused = false;
            testsupport::ResetPeakResident();
            const long before = testsupport::PeakResidentKiB();
            EXPECT_TRUE(testsupport::ReturnsWithin(
                [&] { refused = !ReadPlayTarget(argument, error); }, temp.path()));
            EXPECT_TRUE(refused);
            EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
            EXPECT_LT(testsupport::PeakResidentKiB() - before, 64 * 1024);
        }
    }
}

TEST(PlayerLockTest, OnePlayerHoldsTheMarkUntilItGoes) {
    testsupport::TempDir temp;
    const std::string path = temp.file("player.lock");
    auto first = std::make_unique<PlayerLock>(path);
    PlayerLock second(path);
    EXPECT_EQ(first->Take(), PlayerLock::State::Taken);
    EXPECT_EQ(second.Take(), PlayerLock::State::HeldByOther);
    first.reset();
    EXPECT_EQ(second.Take(), PlayerLock::State::Taken);

    PlayerLock nowhere(temp.file("no/such/folder/player.lock"));
    EXPECT_EQ(nowhere.Take(), PlayerLock::State::Unusable);
    EXPECT_NE(nowhere.Error().find("no/such/folder"), std::string::npos);
}

TEST(HandOffPortTest, ThePortComesFromTheEnvironmentOnlyWhenItIsOne) {
    const struct {
        const char* value;
        std::uint16_t port;
    } cases[] = {{"40001", 40001}, {"0", 54331}, {"70000", 54331}, {"x1", 54331}, {"", 54331}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        testsupport::ScopedEnv port("ORVANE_HAND_OFF_PORT", c.value);
        EXPECT_EQ(DesktopHandOffPort(), c.port);
    }
}

QImage Picture(QColor left, QColor right) {
    QImage image(320, 180, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, 160, 180, left);
    painter.fillRect(160, 0, 160, 180, right);
    return image;
}

TEST(PictureSampleTest, AFlatWindowIsNoPictureAndPicturesAreToldApart) {
    EXPECT_FALSE(SamplePicture(Picture(Qt::black, Qt::black)).picture);
    EXPECT_FALSE(SamplePicture(QImage()).picture);
    const PictureSample bars = SamplePicture(Picture(Qt::red, Qt::blue));
    EXPECT_TRUE(bars.picture);
    EXPECT_EQ(SamplePicture(Picture(Qt::red, Qt::blue)).digest, bars.digest);
    EXPECT_NE(SamplePicture(Picture(Qt::red, Qt::green)).digest, bars.digest);
    // Differences below what a renderer's noise gives do not make a new picture.
    EXPECT_EQ(SamplePicture(Picture(QColor(255, 1, 0), QColor(0, 0, 254))).digest, bars.digest);
}

}  // namespace
