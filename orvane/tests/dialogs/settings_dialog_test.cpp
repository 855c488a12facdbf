// The settings dialog offscreen, with its store, registry, desktop and cache folder in a
// temporary folder and a BT server stand-in on the pipe that records what it is sent.
#include "settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <map>
#include <mutex>
#include <thread>

#include "app_config.h"
#include "app_values.h"
#include "association_test_support.h"
#include "autostart.h"
#include "desktop_file_types.h"
#include "file_associations.h"
#include "key_value_store.h"
#include "pipe_client.h"
#include "platform/drives.h"
#include "platform/ini_file.h"
#include "platform/named_pipe.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "registry_values.h"
#include "settings.h"
#include "testsupport/file_events.h"

namespace {

// Answers every request with an empty reply and keeps the requests.
class RecordingPipeServer {
public:
    RecordingPipeServer() : server_(platform::PipeServer::Create(kBtServerPipeName)) {
        if (server_) thread_ = std::thread([this] { Serve(); });
    }
    ~RecordingPipeServer() {
        if (!server_) return;
        server_->Shutdown();
        thread_.join();
    }
    bool Running() const { return server_ != nullptr; }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void Serve() {
        while (server_->WaitForClient()) {
            std::string request;
            if (server_->ReadMessage(request)) {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request);
            }
            server_->WriteMessage("");
            server_->Disconnect();
        }
    }
    std::unique_ptr<platform::PipeServer> server_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

class SettingsDialogTest : public AssociationTest {
protected:
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", temp.file("")};
    RecordingPipeServer btServer;

    void SetUp() override {
        ASSERT_TRUE(btServer.Running());
        platform::SetFixedDrivesForTesting(
            std::vector<platform::Drive>{{temp.file("drive"), 1000, 1, 1}});
        // What the main widget's constructor leaves in the value map.
        SetDefaultSettings();
    }
    void TearDown() override { platform::SetFixedDrivesForTesting(std::nullopt); }

    template <typename T>
    static T* Control(SettingsDialog& dialog, const char* name) {
        T* control = dialog.findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    static QCheckBox* Box(SettingsDialog& dialog, const char* name) {
        return Control<QCheckBox>(dialog, name);
    }
    static QLineEdit* Edit(SettingsDialog& dialog, const char* name) {
        return Control<QLineEdit>(dialog, name);
    }
    static void Click(SettingsDialog& dialog, const char* button) {
        Control<QAbstractButton>(dialog, button)->click();
    }
    static QStringList CheckedExtensions(SettingsDialog& dialog) {
        QStringList checked;
        for (const QString& ext : AssociationExtensions())
            if (dialog.findChild<QCheckBox*>(ext)->isChecked()) checked << ext;
        return checked;
    }
};

TEST_F(SettingsDialogTest, AFreshStoreShowsTheDefaults) {
    SettingsDialog dialog("normal");
    EXPECT_EQ(dialog.size(), QSize(560, 400));
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(Edit(dialog, "editDownloadLimit")->text(), "1024");
    EXPECT_EQ(Edit(dialog, "editUploadLimit")->text(), "1024");
    EXPECT_FALSE(Edit(dialog, "editDownloadLimit")->isEnabled());
    EXPECT_FALSE(Edit(dialog, "editUploadLimit")->isEnabled());
    EXPECT_FALSE(Box(dialog, "checkSpeedLimit")->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(dialog, "radioMinOnClose")->isChecked());
    EXPECT_FALSE(Box(dialog, "checkAutoStart")->isChecked());
    EXPECT_FALSE(Box(dialog, "checkStayOnTop")->isChecked());
    for (const char* name : {"checkClickStopPlay", "checkMinPause", "checkStartLast"})
        EXPECT_TRUE(Box(dialog, name)->isChecked()) << name;
    EXPECT_EQ(Edit(dialog, "editCachePath")->text(),
              QString::fromStdString(temp.file("drive/orvane")));
    EXPECT_EQ(CheckedExtensions(dialog), QStringList());

    // Five boxes to a row, in list order: nine full rows and "vob", "mkv" in the tenth.
    auto* grid = Control<QGridLayout>(dialog, "gridLayoutLink");
    EXPECT_EQ(grid->count(), 47);
    int row = -1, column = -1, span = 0;
    grid->getItemPosition(grid->indexOf(dialog.findChild<QCheckBox*>("mkv")), &row, &column, &span,
                          &span);
    EXPECT_EQ(std::make_pair(row, column), std::make_pair(9, 1));
    EXPECT_EQ(dialog.findChild<QCheckBox*>("mkv")->text(), "mkv");
}

TEST_F(SettingsDialogTest, ThePageNameChoosesTheFirstPageShownAndButtonsSwitchPages) {
    const struct {
        const char* page;
        const char* shown;
        const char* checked;  // null: no page button checked
    } cases[] = {{"normal", "pageNormal", "buttonNormal"},
                 {"download", "pageDownload", "buttonDownload"},
                 {"other", "pageNormal", nullptr}};
    for (const auto& c : cases) {
        SettingsDialog dialog(c.page);
        SCOPED_TRACE(c.page);
        auto* stack = Control<QStackedWidget>(dialog, "switchWidget");
        EXPECT_EQ(stack->currentWidget()->objectName(), c.shown);
        for (const char* button : {"buttonNormal", "buttonDownload", "buttonLink", "buttonPlay"})
            EXPECT_EQ(Control<QPushButton>(dialog, button)->isChecked(),
                      c.checked && QString(button) == c.checked)
                << button;
        Click(dialog, "buttonLink");
        EXPECT_EQ(stack->currentWidget()->objectName(), "pageLink");
        EXPECT_TRUE(Control<QPushButton>(dialog, "buttonLink")->isChecked());
        EXPECT_FALSE(Control<QPushButton>(dialog, "buttonNormal")->isChecked());
    }
}

TEST_F(SettingsDialogTest, OkSendsTheSpeedLimitsInBytesEveryTime) {
    const struct {
        bool limit;
        const char *download, *upload, *sent;
        int storedDownload;
    } cases[] = {
        {false, "100", "50", "speedlimit::download:0,upload:0", 100},
        {true, "100", "50", "speedlimit::download:102400,upload:51200", 100},
        {true, "2097151", "", "speedlimit::download:2147482624,upload:0", 2097151},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        const size_t before = btServer.Requests().size();
        SettingsDialog dialog("download");
        Box(dialog, "checkSpeedLimit")->setChecked(c.limit);
        Edit(dialog, "editDownloadLimit")->setText(c.download);
        Edit(dialog, "editUploadLimit")->setText(c.upload);
        Click(dialog, "buttonOk");
        EXPECT_EQ(dialog.result(), 1);
        ASSERT_EQ(btServer.Requests().size(), before + 1);
        EXPECT_EQ(btServer.Requests().back(), c.sent);
        EXPECT_EQ(DbValue("settings_speed_limit"), QVariant(c.limit));
        EXPECT_EQ(DbValue("settings_download_speed"), QVariant(c.storedDownload));
    }
    // A stored limit too large for the pipe, from before the edits refused it, is sent as the
    // largest one that fits.
    DbSetValue("settings_download_speed", 5000000);
    SettingsDialog dialog("download");
    EXPECT_TRUE(Edit(dialog, "editDownloadLimit")->isEnabled());
    Click(dialog, "buttonOk");
    EXPECT_EQ(btServer.Requests().back(), "speedlimit::download:2147482624,upload:0");
}

TEST_F(SettingsDialogTest, TheSpeedEditsRefuseSignsAndTooLargeNumbers) {
    SettingsDialog dialog("download");
    Box(dialog, "checkSpeedLimit")->setChecked(true);
    const struct {
        const char *typed, *shown;
    } cases[] = {{"-5", "5"},           {"2097152", "209715"}, {"2097151", "2097151"},
                 {"9999999", "999999"}, {"+7", "7"},           {"1x2", "12"}};
    for (const auto& c : cases) {
        QLineEdit* edit = Edit(dialog, "editUploadLimit");
        edit->clear();
        QTest::keyClicks(edit, c.typed);
        EXPECT_EQ(edit->text(), c.shown) << c.typed;
    }
}

TEST_F(SettingsDialogTest, CheckedExtensionsAreRegisteredAndStoredInGridOrder) {
    RegistryWrite("HKEY_CURRENT_USER\\Software\\Classes\\.wmv", ".", QString("vlc.wmv"));
    {
        SettingsDialog dialog("normal");
        dialog.findChild<QCheckBox*>("mkv")->setChecked(true);
        dialog.findChild<QCheckBox*>("avi")->setChecked(true);
        Click(dialog, "buttonOk");
    }
    EXPECT_EQ(DbValue("settings_linked_type").toString(), "avi,mkv");
    EXPECT_EQ(AppValue("settings_linked_type").toString(), "avi,mkv");
    EXPECT_TRUE(IsFileAssociationRegistered("avi"));
    EXPECT_TRUE(IsFileAssociationRegistered("mkv"));
    EXPECT_EQ(platform::IniReadString(MimeAppsListPath().toStdString(), "Default Applications",
                                      "video/x-matroska"),
              "orvane.desktop;");

    SettingsDialog dialog("normal");
    EXPECT_EQ(CheckedExtensions(dialog), (QStringList{"avi", "mkv"}));
    Click(dialog, "btnLinkUnSelAll");
    Click(dialog, "buttonOk");
    EXPECT_EQ(DbValue("settings_linked_type").toString(), "");
    EXPECT_FALSE(IsFileAssociationRegistered("avi"));
    EXPECT_FALSE(IsFileAssociationRegistered("mkv"));
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software\\Classes\\.wmv"), "vlc.wmv");
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software\\Classes\\.wmv", "ovbak"), "<absent>");
    EXPECT_EQ(platform::IniReadString(MimeAppsListPath().toStdString(), "Default Applications",
                                      "video/x-matroska"),
              "");
}

// Each save is one registry transaction: a hive it changes is written (and synced) once, and
// a save that changes nothing writes none. The writes are counted from outside, as the files
// that arrive in the registry folder by rename.
TEST_F(SettingsDialogTest, ASaveWritesEachChangedHiveOnce) {
    ASSERT_TRUE(platform::MakeDirectories(platform::RegistryDirectory()));
    testsupport::RenamesInto writes(platform::RegistryDirectory());
    ASSERT_TRUE(writes.Watching());
    using Writes = std::map<std::string, int>;
    const Writes both{{"HKEY_CURRENT_USER.hive", 1}, {"HKEY_LOCAL_MACHINE.hive", 1}};
    SettingsDialog dialog("normal");

    Click(dialog, "btnLinkSelAll");
    Box(dialog, "checkAutoStart")->setChecked(true);
    Click(dialog, "buttonApply");
    EXPECT_EQ(writes.Take(), both);
    EXPECT_TRUE(IsFileAssociationRegistered("mkv"));
    EXPECT_TRUE(IsAutoStart());

    Click(dialog, "buttonApply");
    EXPECT_EQ(writes.Take(), Writes{});

    Click(dialog, "btnLinkUnSelAll");
    Click(dialog, "buttonApply");
    EXPECT_EQ(writes.Take(), both);
    EXPECT_FALSE(IsFileAssociationRegistered("mkv"));
}

TEST_F(SettingsDialogTest, ApplySavesAndStaysOpenAndCancelKeepsWhatWasApplied) {
    SettingsDialog dialog("normal");
    dialog.show();
    Box(dialog, "checkStayOnTop")->setChecked(true);
    Box(dialog, "checkAutoStart")->setChecked(true);
    Control<QRadioButton>(dialog, "radioExitOnClose")->setChecked(true);
    Box(dialog, "checkMinPause")->setChecked(false);
    Click(dialog, "buttonApply");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(DbValue("settings_stayontop"), QVariant(true));
    EXPECT_EQ(DbValue("settings_exit_onclose"), QVariant(true));
    EXPECT_EQ(DbValue("settings_pause_min"), QVariant(false));
    EXPECT_TRUE(IsAutoStart());
    EXPECT_EQ(btServer.Requests().size(), 1u);

    // Changes after the apply, with "全选", go with the cancel.
    Box(dialog, "checkStayOnTop")->setChecked(false);
    Click(dialog, "btnLinkSelAll");
    EXPECT_EQ(CheckedExtensions(dialog).size(), 47);
    Click(dialog, "buttonCancel");
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(AppValue("settings_stayontop"), QVariant(true));
    EXPECT_EQ(DbValue("settings_stayontop"), QVariant(true));
    EXPECT_EQ(DbValue("settings_linked_type").toString(), "");
    EXPECT_FALSE(IsFileAssociationRegistered("asf"));
    EXPECT_EQ(btServer.Requests().size(), 1u);
}

TEST_F(SettingsDialogTest, LoadingChecksStoredExtensionsAndKeepsOthersAsTheyAre) {
    DbSetValue("settings_linked_type", QString("avi,,nosuch,flv"));
    SettingsDialog dialog("normal");
    EXPECT_EQ(CheckedExtensions(dialog), (QStringList{"avi", "flv"}));
    dialog.findChild<QCheckBox*>("avi")->setChecked(false);
    dialog.findChild<QCheckBox*>("mov")->setChecked(true);
    Click(dialog, "buttonRevertNormal");
    EXPECT_EQ(CheckedExtensions(dialog), (QStringList{"avi", "mov", "flv"}));
}

TEST_F(SettingsDialogTest, OnlyAnExistingCacheFolderIsStored) {
    const std::string pathIni = AppWritePath("ini\\path.ini").toStdString();  // the user's copy
    SettingsDialog dialog("download");
    const std::string before = platform::IniReadString(pathIni, "AppSetting", "savePath");
    ASSERT_EQ(before, temp.file("drive/orvane"));

    Edit(dialog, "editCachePath")->setText(QString::fromStdString(temp.file("missing/cache")));
    Click(dialog, "buttonApply");
    EXPECT_EQ(platform::IniReadString(pathIni, "AppSetting", "savePath"), before);
    EXPECT_EQ(Edit(dialog, "editCachePath")->text().toStdString(), before);

    testsupport::WriteFile(temp.file("films/keep"), "");
    Edit(dialog, "editCachePath")->setText(QString::fromStdString(temp.file("films")));
    Click(dialog, "buttonOk");
    EXPECT_EQ(platform::IniReadString(pathIni, "AppSetting", "savePath"), temp.file("films/"));
}

TEST_F(SettingsDialogTest, TheFolderChooserOffersFoldersOnlyAndFillsTheEditWithoutSaving) {
    testsupport::WriteFile(temp.file("chosen/keep"), "");
    const QString chosen = QString::fromStdString(temp.file("chosen"));
    SettingsDialog dialog("download");
    const QString shown = Edit(dialog, "editCachePath")->text();
    bool foldersOnly = false;
    QString startedIn;
    int polls = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!chooser && ++polls > 500) {  // ten seconds: give up, closing whatever is open
            poll.stop();
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                other->reject();
        }
        if (!chooser) return;
        poll.stop();
        foldersOnly = chooser->fileMode() == QFileDialog::Directory &&
                      chooser->testOption(QFileDialog::ShowDirsOnly);
        startedIn = chooser->directory().absolutePath();
        // With no file picked, a folder chooser answers the folder it shows. It is closed as
        // accepted without its own checks, which wait on its file model.
        chooser->setDirectory(chosen);
        static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
    });
    poll.start(20);
    Click(dialog, "buttonCacheBrowser");
    EXPECT_TRUE(foldersOnly);
    EXPECT_EQ(startedIn, shown);
    EXPECT_EQ(Edit(dialog, "editCachePath")->text().toStdString(), chosen.toStdString());
    EXPECT_EQ(CacheSavePath(QString()), shown);
}

// A mouse event as the window system delivers it, at a global position.
void Mouse(QWidget* to, QEvent::Type type, QPoint global, Qt::MouseButton button,
           Qt::MouseButtons held) {
    QMouseEvent event(type, to->mapFromGlobal(global), global, button, held, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

TEST_F(SettingsDialogTest, ALeftDragOnTheBackgroundMovesTheDialog) {
    SettingsDialog dialog("normal");
    dialog.move(100, 100);
    dialog.show();
    // An empty spot of the general page, below its controls.
    QWidget* background = Control<QWidget>(dialog, "pageNormal");
    const QPoint start = background->mapToGlobal(QPoint(20, 200));
    const QPoint origin = dialog.pos();

    Mouse(background, QEvent::MouseButtonPress, start, Qt::RightButton, Qt::RightButton);
    Mouse(background, QEvent::MouseMove, start + QPoint(30, 40), Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(dialog.pos(), origin);

    Mouse(background, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    Mouse(background, QEvent::MouseMove, start + QPoint(30, 40), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(dialog.pos(), origin + QPoint(30, 40));
    Mouse(background, QEvent::MouseButtonRelease, start + QPoint(30, 40), Qt::LeftButton,
          Qt::NoButton);
    Mouse(background, QEvent::MouseMove, start + QPoint(90, 90), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(dialog.pos(), origin + QPoint(30, 40));
}

TEST_F(SettingsDialogTest, RunsModallyAndAnswersHowItWasClosed) {
    QWidget parent;
    const struct {
        const char* button;
        int result;
        bool saved;
    } cases[] = {{"buttonOk", 1, true}, {"buttonClose", 0, false}, {"buttonCancel", 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        const size_t before = btServer.Requests().size();
        SettingsDialog dialog("normal", &parent);
        QTimer::singleShot(0, &dialog, [&] { Click(dialog, c.button); });
        EXPECT_EQ(dialog.exec(), c.result);
        EXPECT_EQ(btServer.Requests().size(), before + (c.saved ? 1 : 0));
    }
}

}  // namespace
