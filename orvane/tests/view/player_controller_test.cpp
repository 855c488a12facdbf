#include "player_controller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QParallelAnimationGroup>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

namespace {

// The bar as the main window holds it: a child of a shown window, 570 pixels wide.
class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() {
        window.resize(570, 50);
        bar->resize(570, 50);
        window.show();
    }

    template <class T>
    T* Child(const char* name) {
        T* child = bar->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void Click(const char* name) {
        QTest::mouseClick(Child<QAbstractButton>(name), Qt::LeftButton);
    }
    BufferSlider* Progress() { return Child<BufferSlider>("progressSlider"); }
    void ClickProgressAt(int x) {
        QTest::mouseClick(Progress(), Qt::LeftButton, Qt::NoModifier, QPoint(x, 5));
    }

    QWidget window;
    PlayerController* bar = new PlayerController(&window);
    QSignalSpy screen{bar, &PlayerController::screenClicked};
    QSignalSpy volume{bar, &PlayerController::volumeChanged};
    QSignalSpy pos{bar, &PlayerController::posChanged};
    QSignalSpy play{bar, &PlayerController::playClicked};
    QSignalSpy records{bar, &PlayerController::recordsClicked};
    QSignalSpy stop{bar, &PlayerController::stopClicked};
};

QList<bool> Bools(const QSignalSpy& spy) {
    QList<bool> values;
    for (const QList<QVariant>& call : spy) values << call.at(0).toBool();
    return values;
}

TEST_F(ControllerTest, ClicksAndSettersBecomeTheSixSignalsWithTheirArguments) {
    bar->SetVolume(50);
    bar->Reset();
    bar->EnableControls();
    EXPECT_EQ(play.count(), 0);  // EnableControls shows "playing" silently

    Click("fullscreenButton");
    Click("fullscreenButton");
    bar->SetFullScreenChecked(true);
    EXPECT_EQ(Bools(screen), (QList<bool>{true, false}));

    bar->SetVolume(45);
    ASSERT_EQ(volume.count(), 2);
    EXPECT_EQ(volume.at(1).at(0).toInt(), 45);

    Click("buttonPlay");
    bar->TogglePlay();
    bar->SetPlaying();
    EXPECT_EQ(Bools(play), (QList<bool>{true, false, true}));

    Click("recordsButton");
    bar->UncheckRecords();
    bar->CheckRecords();
    EXPECT_EQ(Bools(records), (QList<bool>{true, false, true}));

    Click("buttonStop");
    bar->RequestStop();
    EXPECT_EQ(stop.count(), 2);

    // A click on the bar seeks where it landed and reports the release.
    bar->SetPosRange(1000);
    ClickProgressAt(Progress()->width() * 3 / 4);
    EXPECT_GE(pos.count(), 1);
    EXPECT_NEAR(bar->GetPos(), 750, 30);
}

TEST_F(ControllerTest, ClickOnAZeroLengthBarSeeksToZero) {
    bar->EnableControls();
    bar->SetPosRange(0);
    ClickProgressAt(Progress()->width() / 2);
    EXPECT_GE(pos.count(), 1);
    EXPECT_EQ(bar->GetPos(), 0);
}

TEST_F(ControllerTest, MuteRemembersTheLastAudibleVolumeAndRestoresIt) {
    bar->EnableControls();
    auto* button = Child<QToolButton>("buttonVolume");
    const struct {
        int set;     // volume set before muting (0: dragged down to silence)
        int before;  // the audible volume the user had before
    } cases[] = {{45, 45}, {0, 80}};
    for (const auto& c : cases) {
        bar->SetVolume(c.before);
        bar->SetVolume(c.set);
        if (c.set != 0) {
            Click("buttonVolume");
            EXPECT_EQ(bar->GetVolume(), 0);
            EXPECT_EQ(volume.last().at(0).toInt(), 0);
            EXPECT_EQ(button->icon().pixmap(20, 14).toImage(),
                      QIcon(":/image/media_volume_0.png").pixmap(20, 14).toImage());
        }
        Click("buttonVolume");
        EXPECT_EQ(bar->GetVolume(), c.before);
        EXPECT_EQ(volume.last().at(0).toInt(), c.before);
    }
}

TEST_F(ControllerTest, SetPosIsIgnoredWhileTheHandleIsHeld) {
    bar->EnableControls();
    bar->SetPosRange(1000);
    bar->SetPos(0);
    BufferSlider* slider = Progress();
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, QPoint(6, 5));
    ASSERT_TRUE(slider->isSliderDown());
    bar->SetPos(500);
    EXPECT_EQ(bar->GetPos(), 0);

    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(6, 5));
    EXPECT_GE(pos.count(), 1);
    bar->SetPos(600);
    EXPECT_EQ(bar->GetPos(), 600);
}

TEST_F(ControllerTest, StoppedAndBusyBarsIgnoreTogglesAndSeeks) {
    bar->Reset();
    EXPECT_FALSE(Progress()->isEnabled());
    EXPECT_TRUE(Child<QToolButton>("buttonPlay")->isChecked());
    for (const char* off : {"buttonVolume", "fullscreenButton", "buttonStop"})
        EXPECT_FALSE(Child<QWidget>(off)->isEnabled()) << off;
    ClickProgressAt(100);
    EXPECT_EQ(pos.count(), 0);
    bar->TogglePlay();  // play stays enabled after a reset
    EXPECT_EQ(Bools(play), QList<bool>{false});

    bar->SetBusy(true);
    bar->TogglePlay();
    bar->SetPlaying();
    Click("buttonPlay");
    ClickProgressAt(100);
    EXPECT_EQ(play.count(), 1);
    EXPECT_EQ(pos.count(), 0);
}

TEST_F(ControllerTest, LabelsKeepOrHideAsTheirSettersSay) {
    auto* speed = Child<QLabel>("labelSpeed");
    bar->SetSpeedText("120KB/s");
    bar->SetSpeedText("");
    EXPECT_EQ(speed->text(), "120KB/s");

    auto* loading = Child<QLabel>("labelLoading");
    EXPECT_FALSE(loading->isVisible());
    loading->show();
    bar->SetTitleText("已缓冲5%");
    EXPECT_EQ(loading->text(), "已缓冲5%");
    bar->SetTitleText("");
    EXPECT_FALSE(loading->isVisible());
}

TEST_F(ControllerTest, AdvertisementLinkOpensOnlyWebAddressesInTheBrowser) {
    testsupport::TempDir temp;
    const std::string log = temp.file("opened.txt");
    testsupport::WriteFile(temp.file("xdg-open"),
                           "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n");
    chmod(temp.file("xdg-open").c_str(), 0755);
    const char* oldPath = std::getenv("PATH");
    testsupport::ScopedEnv path("PATH", temp.path() + ":" + (oldPath ? oldPath : "/usr/bin:/bin"));

    for (const char* refused : {"", "file:///etc/passwd", "javascript:alert(1)", "smb://host/x"}) {
        bar->SetAdText(refused, "ad");
        Click("adLabel");
    }
    bar->SetAdText("http://ads.example.invalid/p?id=1", "ad");
    Click("adLabel");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !testsupport::ReadFile(log).empty(); }));
    EXPECT_EQ(testsupport::ReadFile(log), "http://ads.example.invalid/p?id=1\n");
    EXPECT_EQ(Child<QPushButton>("adLabel")->text(), "ad");
}

TEST_F(ControllerTest, FadeOutEndsHiddenOpaqueAndDisconnectedEachTime) {
    auto* group = bar->findChild<QParallelAnimationGroup*>();
    ASSERT_NE(group, nullptr);
    for (int round = 0; round < 2; ++round) {
        bar->show();
        bar->FadeOut();
        bar->FadeOut();  // a second request during the fade changes nothing
        EXPECT_EQ(records.count(), 2 * (round + 1));
        EXPECT_TRUE(records.last().at(0).toBool());

        // Half-way the bar is half transparent on screen.
        group->setCurrentTime(150);
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(bar->graphicsEffect());
        ASSERT_NE(effect, nullptr);
        EXPECT_NEAR(effect->opacity(), 0.5, 0.05);
        EXPECT_TRUE(bar->isVisible());

        group->setCurrentTime(group->duration());
        EXPECT_FALSE(bar->isVisible());
        EXPECT_EQ(bar->windowOpacity(), 1.0);
        EXPECT_EQ(bar->graphicsEffect(), nullptr);
    }
    // The group's end no longer reaches the bar: running it alone leaves the bar shown.
    bar->show();
    group->start();
    group->setCurrentTime(group->duration());
    EXPECT_TRUE(bar->isVisible());
}

// Colour of the buffered parts.
bool HasBufferColour(const QImage& image, int x) {
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == qRgb(117, 160, 223)) return true;
    return false;
}

TEST_F(ControllerTest, BufferedRangesShowOnlyRightOfTheHandle) {
    bar->EnableControls();
    bar->SetPosRange(1000);
    bar->SetPos(300);
    BufferSlider* slider = Progress();
    const int w = slider->width();

    const QImage nothing = slider->grab().toImage();
    for (int x = 0; x < w; ++x) ASSERT_FALSE(HasBufferColour(nothing, x)) << x;

    bar->SetBufferRanges({{0.1f, 0.5f}, {0.7f, 0.9f}, {0.02f, 0.2f}});
    const QImage image = slider->grab().toImage();
    const struct {
        double at;
        bool buffered;
    } columns[] = {
        {0.05, false},  // in a range but left of the handle: played already
        {0.15, false},  //
        {0.40, true},   // first range, right of the handle
        {0.60, false},  // the gap
        {0.80, true},   // second range
        {0.95, false},  // after the last range
    };
    for (const auto& c : columns)
        EXPECT_EQ(HasBufferColour(image, int(w * c.at)), c.buffered) << c.at;
}

}  // namespace
