#include "player_records.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "helpers_together.h"
#include "key_value_store.h"
#include "main_widget_calls.h"
#include "named_objects.h"
#include "play_history.h"
#include "scoped_app_directory.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"
#include "testsupport/user_folders.h"

namespace {

// Takes the calls the panel makes on the main widget.
class MainWidgetStandIn : public QObject {
    Q_OBJECT

public:
    Q_INVOKABLE void PlayVideo(QVariantMap videoInfo) { played.append(videoInfo); }
    Q_INVOKABLE void OpenFile(QString filePath) { opened.append(filePath); }

    QList<QVariantMap> played;
    QStringList opened;
};

QString Time(int second) {
    return QString("2024-05-01 10:00:%1.000").arg(second, 2, 10, QChar('0'));
}

// A history panel on a store in a temporary install folder, with a stand-in main widget.
class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override { SetMainWidgetStandInForTesting(&main); }
    void TearDown() override { SetMainWidgetStandInForTesting(nullptr); }

    QVariantMap Stored() { return DbValue("records_list").toMap(); }
    QListWidget* List(PlayerRecords& panel) { return panel.findChild<QListWidget*>("listWidget"); }
    // Where a shown entry sits, once the list has laid its entries out.
    QPoint Centre(QListWidget* list, int row) {
        list->doItemsLayout();
        return list->visualItemRect(list->item(row)).center();
    }
    QStringList Shown(PlayerRecords& panel) {
        QStringList texts;
        for (int i = 0; i < List(panel)->count(); ++i) texts << List(panel)->item(i)->text();
        return texts;
    }
    void Drop(QWidget& target, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        // A drop goes to the widget that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &drop);
    }

    testsupport::TempDir temp;
    ScopedAppDirectory app{temp.file("bin")};
    testsupport::ScopedUserFolders user;
    MainWidgetStandIn main;
};

TEST_F(RecordsTest, FirstRecordShowsAsPlayingUntilStoppedAndRegistersThePanel) {
    PlayerRecords panel;
    EXPECT_EQ(FindNamedObject("PlayerRecords"), &panel);
    EXPECT_EQ(List(panel)->count(), 0);
    EXPECT_FALSE(DbContains("records_list"));

    panel.StartRecord(6, "/videos/a.mkv", Time(1), 0, "");
    const QVariantMap stored = Stored();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored["/videos/a.mkv"].toMap(), (QVariantMap{{"url", "/videos/a.mkv"},
                                                            {"type", 6},
                                                            {"watchtime", Time(1)},
                                                            {"pos", 0},
                                                            {"title", ""}}));
    ASSERT_EQ(Shown(panel), QStringList{"a.mkv"});
    EXPECT_FALSE(List(panel)->item(0)->icon().isNull());

    panel.StopRecord();
    EXPECT_TRUE(List(panel)->item(0)->icon().isNull());
}

TEST_F(RecordsTest, SameUrlTwiceKeepsOneRecordWithTheLaterValues) {
    PlayerRecords panel;
    panel.StartRecord(2, "http://h/v.mp4", Time(1), 0, "");
    panel.InsertRecord(2, "http://h/v.mp4", Time(9), 4200, "Film");
    const QVariantMap stored = Stored();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored["http://h/v.mp4"].toMap()["watchtime"], Time(9));
    EXPECT_EQ(stored["http://h/v.mp4"].toMap()["pos"], 4200);
    EXPECT_EQ(Shown(panel), QStringList{"Film"});
}

TEST_F(RecordsTest, TheFiftyFirstRecordEvictsTheOldestAndKeepsFifty) {
    PlayerRecords panel;
    for (int i = 1; i <= kMaxHistoryRecords; ++i)
        panel.InsertRecord(2, QString("http://h/%1.mp4").arg(i), Time(i), 0, "");
    ASSERT_EQ(Stored().size(), 50);

    panel.InsertRecord(2, "http://h/new.mp4", Time(59), 0, "");
    QVariantMap stored = Stored();
    EXPECT_EQ(stored.size(), 50);
    EXPECT_FALSE(stored.contains("http://h/1.mp4"));
    EXPECT_TRUE(stored.contains("http://h/50.mp4"));
    EXPECT_EQ(Shown(panel).first(), "new.mp4");
    EXPECT_EQ(Shown(panel).last(), "2.mp4");

    // A URL already present is rewritten without evicting anything.
    panel.InsertRecord(2, "http://h/2.mp4", Time(59), 0, "");
    stored = Stored();
    EXPECT_EQ(stored.size(), 50);
    EXPECT_TRUE(stored.contains("http://h/3.mp4"));
}

TEST_F(RecordsTest, RecordsWatchedAtTheSameTimeAreAllListed) {
    PlayerRecords panel;
    panel.InsertRecord(2, "http://h/b.mp4", Time(5), 0, "");
    panel.InsertRecord(2, "http://h/a.mp4", Time(5), 0, "");
    panel.InsertRecord(2, "http://h/c.mp4", Time(4), 0, "");
    EXPECT_EQ(Shown(panel), (QStringList{"a.mp4", "b.mp4", "c.mp4"}));
}

TEST(HistoryDisplayNameTest, TitleElseLastPartAfterEitherSeparatorElseTheWholeUrl) {
    const struct {
        const char* url;
        const char* title;
        const char* shown;
    } cases[] = {
        {"http://host/path/movie.mp4", "", "movie.mp4"},
        {"C:\\videos\\a.mkv", "", "a.mkv"},
        {"/home/user/b.avi", "", "b.avi"},
        {"magnet:?xt=urn:btih:abc", "", "magnet:?xt=urn:btih:abc"},
        {"http://host/path/movie.mp4", "My film", "My film"},
        {"http://host/dir/", "", "http://host/dir/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HistoryDisplayName({{"url", c.url}, {"title", c.title}}), c.shown) << c.url;
}

TEST_F(RecordsTest, ClearEmptiesTheListAndTheStoreButThePlayingVideoComesBack) {
    PlayerRecords panel;
    panel.StartRecord(6, "/v/a.mkv", Time(1), 0, "");
    panel.InsertRecord(6, "/v/b.mkv", Time(2), 0, "");
    QTest::mouseClick(panel.findChild<QPushButton*>("buttonClean"), Qt::LeftButton);
    EXPECT_EQ(List(panel)->count(), 0);
    EXPECT_TRUE(DbContains("records_list"));
    EXPECT_TRUE(Stored().isEmpty());

    panel.InsertRecord(6, "/v/a.mkv", Time(3), 100, "");
    EXPECT_EQ(Shown(panel), QStringList{"a.mkv"});
}

TEST_F(RecordsTest, DeleteRemovesTheEntryAndKeepsItOutUntilTheNextPlay) {
    PlayerRecords panel;
    panel.show();
    panel.StartRecord(6, "/v/a.mkv", Time(1), 0, "");
    panel.InsertRecord(6, "/v/b.mkv", Time(2), 0, "");
    QListWidget* list = List(panel);
    ASSERT_EQ(Shown(panel), (QStringList{"b.mkv", "a.mkv"}));

    // Right-click on empty space: no menu. On an entry: the menu, whose "删除" deletes it.
    QWidget* popup = nullptr;
    auto rightClick = [&](const QPoint& at) {
        bool looked = false;
        popup = nullptr;
        // Runs inside the menu's own loop when a menu opens, else right after the request.
        QTimer::singleShot(0, &panel, [&] {
            looked = true;
            popup = QApplication::activePopupWidget();
            if (auto* menu = qobject_cast<QMenu*>(popup)) menu->actions().first()->trigger();
            if (popup) popup->close();
        });
        QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier, at);
        emit list->customContextMenuRequested(at);
        ASSERT_TRUE(testsupport::WaitUntil([&] {
            QApplication::processEvents();
            return looked;
        }));
    };
    const QPoint empty(10, list->viewport()->height() - 5);
    ASSERT_EQ(list->itemAt(empty), nullptr);
    rightClick(empty);
    EXPECT_EQ(popup, nullptr);
    EXPECT_EQ(list->count(), 2);

    rightClick(Centre(list, 1));
    EXPECT_NE(popup, nullptr);
    EXPECT_EQ(Shown(panel), QStringList{"b.mkv"});
    EXPECT_FALSE(Stored().contains("/v/a.mkv"));

    // The periodic writes of the playing video stay dropped until it is played again.
    panel.InsertRecord(6, "/v/a.mkv", Time(3), 10, "");
    EXPECT_FALSE(Stored().contains("/v/a.mkv"));
    panel.StartRecord(6, "/v/a.mkv", Time(4), 0, "");
    EXPECT_TRUE(Stored().contains("/v/a.mkv"));
}

TEST_F(RecordsTest, DoubleClickPlaysTheRecordThroughTheMainWidgetLater) {
    PlayerRecords panel;
    panel.show();
    panel.InsertRecord(3, "ov://abc", Time(1), 5000, "Show");
    QListWidget* list = List(panel);
    // What the window system sends for a double click: a click, then the double click.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, Centre(list, 0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, Centre(list, 0));
    EXPECT_TRUE(main.played.isEmpty());  // queued, not called from inside the click
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        QApplication::processEvents();
        return !main.played.isEmpty();
    }));
    ASSERT_EQ(main.played.size(), 1);
    EXPECT_EQ(main.played[0]["url"], "ov://abc");
    EXPECT_EQ(main.played[0]["type"], 3);
    EXPECT_EQ(main.played[0]["pos"], 5000);
}

TEST_F(RecordsTest, DropOpensTheFirstExistingLocalFileOnly) {
    PlayerRecords panel;
    testsupport::WriteFile(temp.file("one.mp4"), "x");
    testsupport::WriteFile(temp.file("two.mp4"), "x");
    const QString one = QString::fromStdString(temp.file("one.mp4"));
    const QString two = QString::fromStdString(temp.file("two.mp4"));
    const QString missing = QString::fromStdString(temp.file("missing.mp4"));

    Drop(panel, {QUrl::fromLocalFile(missing), QUrl::fromLocalFile(one)});
    Drop(panel, {QUrl("http://host/remote.mp4")});
    Drop(panel, {});
    EXPECT_TRUE(main.opened.isEmpty());

    Drop(panel, {QUrl::fromLocalFile(one), QUrl::fromLocalFile(two)});
    EXPECT_EQ(main.opened, QStringList{one});
}

// Two players write the history at once, 25 plays each: the history, which holds 50, keeps
// all of them. (Fifty each would have the bound evict half, so a lost record could go unseen;
// and writing a play twice would hide the loss of its first write.) Repeated, since a write is
// lost only when the two interleave.
TEST_F(RecordsTest, TwoPlayersWritingAtOnceLoseNoRecord) {
    const QString bin = QString::fromStdString(temp.file("bin"));
    for (int trial = 0; trial < 20; ++trial) {
        SCOPED_TRACE(trial);
        DbSetValue("records_list", QVariantMap());
        ASSERT_EQ(RunHelpersTogether({{"history", bin, "a"}, {"history", bin, "b"}}),
                  (std::vector<int>{0, 0}));
        const QVariantMap history = Stored();
        QStringList missing;
        for (const char* player : {"a", "b"}) {
            for (int i = 0; i < 25; ++i) {
                const QString url = QString("/videos/%1-%2").arg(player).arg(i);
                if (history.value(url).toMap().value("pos") != QVariant(i)) missing << url;
            }
        }
        EXPECT_EQ(missing, QStringList()) << missing.size() << " of 50 lost";
    }
}

}  // namespace

#include "player_records_test.moc"
