// How long saving the file-type associations takes: "应用" in the settings dialog with all 47
// extensions ticked (first time, repeated with nothing changed, then with everything unticked),
// and the desktop program's "-setfilelinks" run for all 47 (first time and repeated). Each run
// starts from a new user's folders and an install folder of its own; the figures are medians.
//
//   orvane_settings_save_bench [--runs N]
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app_paths.h"
#include "file_associations.h"
#include "fresh_player.h"
#include "key_value_store.h"
#include "settings_dialog.h"
#include "testsupport/figures.h"
#include "testsupport/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const char* const kUserFolders[] = {"XDG_RUNTIME_DIR", "TMPDIR",        "XDG_CACHE_HOME",
                                    "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"};

// A new user with the desktop program installed in a folder of its own; this process works
// in that world for the object's lifetime.
class FreshUser {
public:
    FreshUser() {
        for (const char* name : kUserFolders) {
            const std::string path = temp_.file(name);
            fs::create_directories(path);
            fs::permissions(path, fs::perms::owner_all);
            env_.push_back(std::make_unique<testsupport::ScopedEnv>(name, path));
        }
        fs::create_directories(Bin());
        for (const char* file : {"orvane", "liborvane_ax.so"})
            fs::copy_file(fs::path(ORVANE_BIN_DIR) / file, fs::path(Bin()) / file);
        SetAppDirectoryForTesting(QString::fromStdString(Bin()));
    }
    ~FreshUser() { SetAppDirectoryForTesting(QString()); }

    std::string Bin() const { return temp_.file("bin"); }

private:
    testsupport::TempDir temp_;
    std::vector<std::unique_ptr<testsupport::ScopedEnv>> env_;
};

double Time(const std::function<bool()>& step) {
    QElapsedTimer timer;
    timer.start();
    const bool ok = step();
    const double ms = timer.nsecsElapsed() / 1e6;
    return ok ? ms : -1;
}

bool Apply(SettingsDialog& dialog) {
    dialog.findChild<QPushButton*>("buttonApply")->click();
    return true;
}

void SelectAll(SettingsDialog& dialog, bool on) {
    dialog.findChild<QPushButton*>(on ? "btnLinkSelAll" : "btnLinkUnSelAll")->click();
}

bool SetFileLinks(const FreshUser& user) {
    QProcess program;
    program.start(QString::fromStdString(user.Bin() + "/orvane"), {"-setfilelinks"});
    if (!program.waitForFinished(120000)) return false;
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0) {
        std::fprintf(stderr, "-setfilelinks failed: %s\n",
                     program.readAllStandardError().constData());
        return false;
    }
    return true;
}

using Figures = std::map<std::string, std::vector<double>>;

void DialogRun(Figures& figures) {
    FreshUser user;
    SettingsDialog dialog("normal");
    SelectAll(dialog, true);
    figures["save, all 47 ticked"].push_back(Time([&] { return Apply(dialog); }));
    figures["save repeated, nothing changed"].push_back(Time([&] { return Apply(dialog); }));
    SelectAll(dialog, false);
    figures["save, all 47 unticked"].push_back(Time([&] { return Apply(dialog); }));
}

void SetFileLinksRun(Figures& figures) {
    FreshUser user;
    DbSetValue("settings_linked_type", AssociationExtensions().join(','));
    figures["-setfilelinks, all 47"].push_back(Time([&] { return SetFileLinks(user); }));
    figures["-setfilelinks repeated"].push_back(Time([&] { return SetFileLinks(user); }));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = RunsArgument(argc, argv, 5);
    Figures figures;
    for (int i = 0; i < runs; ++i) {
        DialogRun(figures);
        SetFileLinksRun(figures);
    }
    bool failed = false;
    for (const char* name :
         {"save, all 47 ticked", "save repeated, nothing changed", "save, all 47 unticked",
          "-setfilelinks, all 47", "-setfilelinks repeated"}) {
        const double median = testsupport::Median(figures[name]);
        failed = failed || median < 0;
        std::printf("%-32s median %8.1f ms over %d runs\n", name, median, runs);
    }
    return failed ? 1 : 0;
}
