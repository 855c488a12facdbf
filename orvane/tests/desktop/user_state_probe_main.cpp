// What a user of the player sees and sets outside a play, for the end-to-end tests of a shared
// install, run as that user with the user's folders and the install folder given:
//   user_state_probe <install bin> history      prints the history list, one address a line,
//                                                as the history panel shows it
//   user_state_probe <install bin> cache-folder <folder>
//                                                enters the media cache folder in the settings
//                                                dialog and presses OK, as the user would
//   user_state_probe <install bin> stay-on-top   ticks "keep the window on top" in the
//                                                settings dialog and presses OK
// Both run offscreen; the exit code is 0 when the step was done.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>
#include <cstring>
#include <functional>

#include "app_paths.h"
#include "player_records.h"
#include "settings.h"
#include "settings_dialog.h"

namespace {

int PrintHistory() {
    PlayerRecords records;
    auto* list = records.findChild<QListWidget*>(QStringLiteral("listWidget"));
    if (!list) return 1;
    for (int i = 0; i < list->count(); ++i) {
        const auto* item = dynamic_cast<const RecordItem*>(list->item(i));
        if (item) std::printf("%s\n", qPrintable(item->Record().toMap().value("url").toString()));
    }
    return 0;
}

// Opens the settings dialog on `page` as the main widget would, lets `change` edit it, and
// presses OK; 1 when a control is missing.
int ChangeSettings(const QString& page, const std::function<bool(SettingsDialog&)>& change) {
    // What the main widget leaves in the values before any dialog opens.
    SetDefaultSettings();
    LoadStoredSettings();
    SettingsDialog dialog(page);
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("buttonOk"));
    if (!ok || !change(dialog)) return 1;
    ok->click();
    return 0;
}

int StoreCacheFolder(const QString& folder) {
    return ChangeSettings(QStringLiteral("download"), [&](SettingsDialog& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("editCachePath"));
        if (edit) edit->setText(folder);
        return edit != nullptr;
    });
}

int StoreStayOnTop() {
    return ChangeSettings(QStringLiteral("normal"), [](SettingsDialog& dialog) {
        auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("checkStayOnTop"));
        if (box) box->setChecked(true);
        return box != nullptr;
    });
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s <install bin> history | cache-folder <folder> | stay-on-top\n",
                     argv[0]);
        return 2;
    }
    SetAppDirectoryForTesting(QString::fromLocal8Bit(argv[1]));
    if (std::strcmp(argv[2], "history") == 0) return PrintHistory();
    if (std::strcmp(argv[2], "cache-folder") == 0 && argc == 4)
        return StoreCacheFolder(QString::fromLocal8Bit(argv[3]));
    if (std::strcmp(argv[2], "stay-on-top") == 0) return StoreStayOnTop();
    return 2;
}
