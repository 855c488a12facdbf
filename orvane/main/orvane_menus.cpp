// The main widget's menus and the commands their entries name.
#include <QAction>
#include <QCoreApplication>
#include <QDebug>
#include <QFileDialog>
#include <QMenu>
#include <QPointer>

#include "app_values.h"
#include "orvane_widget.h"
#include "settings_dialog.h"
#include "ui_main_widget_ui.h"
#include "web_service_answers.h"
#include "widget_player_view.h"
#include "widget_url_input.h"

namespace {

const char kMenuStyleA[] =
    "QMenu{border: 1px solid rgb(128, 128, 128);padding: 3px;background-color: rgb(255, 255, "
    "255);background-image: url(\"://image/menu_bg.png\");background-repeat: "
    "repeat-y;}QMenu::item{color:rgb(48,48,48);padding-left:35px;padding-right:40px;padding-"
    "top:3px;padding-bottom:3px;margin:1px;}QMenu::item:!selected{background-color:transparent}"
    "QMenu::item:selected{background-color:rgba(166,212,238,128);border-color:rgba(44,142,197,"
    "128);color:rgb(48,48,48);padding-left:35px;padding-right:40px;padding-top:3px;padding-"
    "bottom:3px;margin:1px}QMenu::icon{padding-left:10px;background-color:transparent}";

const char kMenuStyleB[] =
    "QMenu{border: 1px solid rgb(128, 128, 128);padding: 3px;background-color: rgb(255, 255, "
    "255);background-color: #fff;width:180px;}QMenu::item{color:rgb(48,48,48);padding-left:"
    "35px;padding-right:40px;padding-top:3px;padding-bottom:3px;margin:1px;}QMenu::item:!"
    "selected{background-color:transparent}QMenu::item:selected{background-color:rgba(166,212,"
    "238,128);border-color:#999;color:rgb(48,48,48);padding-left:35px;padding-right:40px;"
    "padding-top:3px;padding-bottom:3px;margin:1px}";

const char kOpenUrl[] = "打开Url";
const char kOpenFile[] = "打开文件";
const char kOpenTorrent[] = "打开种子文件";
const char kOpenVideoPage[] = "打开视频网页";
const char kSettings[] = "设置";
const char kExit[] = "退出(&E)";
const char kLoadSubtitles[] = "加载字幕文件";

QMenu* MakeMenu(QWidget* parent, const QStringList& entries, const char* style) {
    auto* menu = new QMenu(parent);
    for (const QString& entry : entries) {
        QAction* action = menu->addAction(entry);
        if (entry == kExit) action->setIcon(QIcon("://image/ico_exit.png"));
    }
    menu->setStyleSheet(QString::fromUtf8(style));
    return menu;
}

}  // namespace

void orvane::CreateMenus() {
    trayMenu_ = MakeMenu(this, {kSettings, kExit}, kMenuStyleA);
    mainMenu_ = MakeMenu(
        this, {kOpenUrl, kOpenFile, kOpenTorrent, kOpenVideoPage, kSettings, kExit}, kMenuStyleA);
    screenMenu_ = MakeMenu(this, {}, kMenuStyleA);
    openMenu_ = MakeMenu(this, {kOpenUrl, kOpenFile, kOpenTorrent, kOpenVideoPage}, kMenuStyleB);
    for (QMenu* menu : {trayMenu_, mainMenu_, screenMenu_, openMenu_})
        connect(menu, &QMenu::triggered, this, &orvane::SysMenuTriggered);
    ui_->btnOpenFile->setMenu(openMenu_);
}

void orvane::SysMenuTriggered(QAction* action) {
    QMetaObject::invokeMethod(this, "MenuAction", Qt::QueuedConnection,
                              Q_ARG(QString, action->text()));
}

void orvane::MenuAction(QString title) {
    if (!ui_) return;
    if (title == kOpenFile) {
        const QString file = AskForFile(QString::fromUtf8("请选择播放文件"));
        if (!file.isEmpty()) PlayVideo({{"type", 6}, {"url", file}});
    } else if (title == kOpenUrl) {
        AskForUrl(false);
    } else if (title == kOpenVideoPage) {
        AskForUrl(true);
    } else if (title == kOpenTorrent) {
        const QString file = AskForFile(QString::fromUtf8("请选择种子文件"));
        if (!file.isEmpty()) PlayVideo({{"type", 8}, {"url", file}});
    } else if (title == kSettings) {
        if (RunSettingsDialog()) StayOnTop(AppValue("settings_stayontop").toBool());
    } else if (title == kLoadSubtitles) {
        const QString file = AskForFile(QString::fromUtf8("请选择种子文件"));
        if (file.isEmpty() || !playerView_) return;
        if (!QMetaObject::invokeMethod(playerView_, "LoadSubtitles", Q_ARG(QString, file)))
            qDebug() << "the player view cannot load subtitles";
    } else if (title == kExit) {
        QCoreApplication::exit(0);
    }
}

// Dialogs are made on the heap: should this widget go while one runs, the dialog goes with it
// and nothing of either may be touched any more. Empty when cancelled or gone.
QString orvane::AskForFile(const QString& caption) {
    QPointer<orvane> self(this);
    QPointer<QFileDialog> dialog = new QFileDialog(this, caption, "file", QString());
    dialog->setStyleSheet("QPushButton{padding:5px;}");
    dialog->setFileMode(QFileDialog::ExistingFile);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!self || !dialog) return {};
    const QStringList files = dialog->selectedFiles();
    delete dialog.data();
    return accepted && !files.isEmpty() ? files.first() : QString();
}

bool orvane::RunSettingsDialog() {
    QPointer<orvane> self(this);
    QPointer<SettingsDialog> dialog = new SettingsDialog("normal", this);
    dialog->exec();
    delete dialog.data();
    return self;
}

void orvane::AskForUrl(bool videoPage) {
    QPointer<orvane> self(this);
    WidgetUrlInput dialog;
    const bool accepted = videoPage ? dialog.Exec() == 1 : dialog.exec() == QDialog::Accepted;
    const QString url = dialog.GetUrl();
    if (!self || !accepted || url.isEmpty()) return;
    // The address goes on exactly as typed; only its type is told by its prefix.
    PlayVideo({{"type", videoPage ? 1 : TypedUrlType(url)}, {"url", url}});
}
