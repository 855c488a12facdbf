// The associations projected onto a temporary desktop, asked back the way file managers and
// scripts ask: xdg-mime for the type of a file and the default program of a type.
#include "desktop_file_types.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <filesystem>

#include "app_paths.h"
#include "association_test_support.h"
#include "desktop_file_texts.h"
#include "file_associations.h"
#include "key_value_store.h"
#include "platform/ini_file.h"
#include "testsupport/media.h"

namespace {

namespace fs = std::filesystem;

// Answers what `xdg-mime` printed, or a text starting with "<" saying why there is nothing.
// The GNOME desktop makes it ask GLib, which reads the user's MIME database, for file types.
QString XdgMime(const QStringList& arguments) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CURRENT_DESKTOP", "GNOME");
    tool.setProcessEnvironment(environment);
    tool.start("xdg-mime", arguments);
    if (!tool.waitForFinished(60000)) return "<xdg-mime did not run: " + tool.errorString() + ">";
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

QString DefaultFor(const QString& type) { return XdgMime({"query", "default", type}); }
QString TypeOf(const std::string& file) {
    return XdgMime({"query", "filetype", QString::fromStdString(file)});
}

// The types the system's MIME database gives "*.<ext>", from its glob list.
QMap<QString, QStringList> SystemGlobTypes() {
    QMap<QString, QStringList> types;
    QFile globs("/usr/share/mime/globs2");
    if (!globs.open(QIODevice::ReadOnly)) return types;
    while (!globs.atEnd()) {
        const QStringList fields = QString::fromUtf8(globs.readLine()).trimmed().split(':');
        if (fields.size() >= 3 && fields[2].startsWith("*.") && !fields[0].startsWith('#'))
            types[fields[2].mid(2).toLower()] << fields[1];
    }
    return types;
}

class DesktopFileTypesTest : public AssociationTest {
protected:
    void SetUp() override {
        // xdg-mime only believes a desktop entry whose program exists.
        testsupport::WriteFile(AppFilePath("orvane.exe").toStdString(), "#!/bin/sh\n");
        fs::permissions(AppFilePath("orvane.exe").toStdString(), fs::perms::owner_all);
        testsupport::WriteFile(temp.file("xdgdata/applications/previous.desktop"),
                               "[Desktop Entry]\nType=Application\nName=previous\n"
                               "Exec=/bin/true %f\nMimeType=video/x-matroska;\n");
    }
    std::string List() const { return MimeAppsListPath().toStdString(); }
    std::string Default(const std::string& type) const {
        return platform::IniReadString(List(), "Default Applications", type);
    }
    // The desktop program and the control library as installed, with the store beside them.
    void InstallDesktopProgram() {
        for (const auto& [from, to] : {std::pair{ORVANE_DESKTOP_PROGRAM, "orvane"},
                                       std::pair{ORVANE_AX_LIBRARY, "liborvane_ax.so"}})
            fs::copy_file(from, temp.file("bin/") + to, fs::copy_options::overwrite_existing);
    }
    // Runs "orvane -setfilelinks" to its end and answers its exit code; `error` gets its stderr.
    int SetFileLinks(QString* error = nullptr) {
        QProcess program;
        program.start(AppFilePath("orvane.exe"), {"-setfilelinks"});
        EXPECT_TRUE(program.waitForFinished(60000)) << program.errorString().toStdString();
        if (error) *error = QString::fromLocal8Bit(program.readAllStandardError());
        return program.exitCode();
    }
    void Associate(const QStringList& on, const QStringList& off) {
        for (const QString& ext : on) RegisterFileAssociations(ext);
        for (const QString& ext : off) UnregisterFileAssociations(ext);
        EXPECT_EQ(ProjectFileAssociations(), QString());
    }
};

TEST_F(DesktopFileTypesTest, SharedVideoTypesAreUsedOnlyWhereTheSystemGivesExactlyOne) {
    const QMap<QString, QStringList> system = SystemGlobTypes();
    ASSERT_FALSE(system.isEmpty()) << "no system MIME database";
    int own = 0;
    for (const QString& ext : AssociationExtensions()) {
        SCOPED_TRACE(ext.toStdString());
        const QString type = DesktopMimeType(ext);
        const QStringList known = system.value(ext);
        if (type == "video/x-orvane-" + ext) {
            ++own;
            EXPECT_FALSE(known.size() == 1 && known[0].startsWith("video/")) << type.toStdString();
        } else {
            EXPECT_EQ(known, QStringList{type});
        }
    }
    EXPECT_EQ(own, 28);
}

TEST_F(DesktopFileTypesTest, FilesOpenWithThePlayerAndThePreviousDefaultComesBack) {
    platform::IniWriteString(List(), "Default Applications", "video/x-matroska",
                             "previous.desktop;");
    const std::string mkv = temp.file("film.mkv");
    const std::string wm = temp.file("film.wm");
    ASSERT_TRUE(testsupport::MakeTestVideo(mkv, 0.5));
    ASSERT_TRUE(testsupport::MakeRandomFile(wm, 4096));
    ASSERT_EQ(DefaultFor("video/x-matroska"), "previous.desktop");

    Associate({"mkv", "wm"}, {});
    EXPECT_EQ(DefaultFor("video/x-matroska"), "orvane.desktop");
    EXPECT_EQ(DefaultFor("video/x-orvane-wm"), "orvane.desktop");
    EXPECT_EQ(TypeOf(mkv), "video/x-matroska");
    EXPECT_EQ(TypeOf(wm), "video/x-orvane-wm");
    const QString entry =
        QString::fromStdString(testsupport::ReadFile(DesktopEntryPath().toStdString()));
    EXPECT_TRUE(entry.contains("\nExec=" + AppFilePath("orvane.exe") + " %f\n"))
        << entry.toStdString();
    EXPECT_TRUE(entry.contains("\nMimeType=video/x-orvane-wm;video/x-matroska;\n"))
        << entry.toStdString();

    Associate({}, {"mkv", "wm"});
    EXPECT_EQ(DefaultFor("video/x-matroska"), "previous.desktop");
    EXPECT_EQ(Default("video/x-matroska"), "previous.desktop;");
    EXPECT_NE(TypeOf(wm), "video/x-orvane-wm");
    EXPECT_FALSE(QFile::exists(DesktopEntryPath()));
    EXPECT_FALSE(QFile::exists(MimePackagePath()));
}

TEST_F(DesktopFileTypesTest, OnlyDefaultsThePlayerSetAreGivenBack) {
    testsupport::WriteFile(List(),
                           "[Added Associations]\nvideo/mp4=mine.desktop;\n\n"
                           "[Default Applications]\n# chosen by hand\nvideo/mp4=mine.desktop;\n"
                           "video/mpeg=mine.desktop;\n");
    Associate({"avi", "mp4", "m4v"}, {});
    EXPECT_EQ(Default("video/x-msvideo"), "orvane.desktop;");
    EXPECT_EQ(Default("video/mp4"), "orvane.desktop;");

    // mp4 still needs the type it shares with m4v.
    Associate({}, {"m4v"});
    EXPECT_EQ(Default("video/mp4"), "orvane.desktop;");

    // The user picks another program for AVI files; giving AVI up leaves that choice.
    platform::IniWriteString(List(), "Default Applications", "video/x-msvideo", "mpv.desktop;");
    Associate({}, {"avi", "mp4"});
    EXPECT_EQ(Default("video/x-msvideo"), "mpv.desktop;");
    EXPECT_EQ(Default("video/mp4"), "mine.desktop;");
    EXPECT_EQ(Default("video/mpeg"), "mine.desktop;");
    EXPECT_EQ(platform::IniReadString(List(), "Added Associations", "video/mp4"), "mine.desktop;");
    EXPECT_NE(testsupport::ReadFile(List()).find("# chosen by hand"), std::string::npos);

    // A later registration replaces the user's choice again, and giving it up restores it.
    Associate({"avi"}, {});
    EXPECT_EQ(Default("video/x-msvideo"), "orvane.desktop;");
    Associate({}, {"avi"});
    EXPECT_EQ(Default("video/x-msvideo"), "mpv.desktop;");
}

// The user's own desktop entry and MIME package under the player's names are never changed or
// removed: the player takes free names of its own, and its package is what the desktop reads
// beside the user's.
TEST_F(DesktopFileTypesTest, AUsersOwnEntryAndPackageUnderThePlayersNamesAreNeverTouched) {
    const std::string own = temp.file("xdgdata/applications/orvane.desktop");
    const std::string launcher =
        "[Desktop Entry]\nType=Application\nName=my orvane\nExec=/bin/true\n";
    testsupport::WriteFile(own, launcher);
    const std::string ownPackage = temp.file("xdgdata/mime/packages/orvane.xml");
    const std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"application/x-mine\">\n    <glob pattern=\"*.mine\"/>\n"
        "  </mime-type>\n</mime-info>\n";
    testsupport::WriteFile(ownPackage, types);
    const std::string mine = temp.file("notes.mine");
    testsupport::WriteFile(mine, "mine");
    const std::string wm = temp.file("film.wm");
    ASSERT_TRUE(testsupport::MakeRandomFile(wm, 4096));
    platform::IniWriteString(List(), "Default Applications", "video/x-matroska",
                             "previous.desktop;");
    const QString players = temp.file("xdgdata/applications/orvane-2.desktop").c_str();
    const QString playersPackage = temp.file("xdgdata/mime/packages/orvane-2.xml").c_str();
    const auto untouched = [&] {
        EXPECT_EQ(testsupport::ReadFile(own), launcher);
        EXPECT_EQ(testsupport::ReadFile(ownPackage), types);
    };

    // Nothing ticked, nothing ever registered.
    Associate({}, {"mkv", "wm"});
    untouched();

    Associate({"mkv", "wm"}, {});
    untouched();
    EXPECT_EQ(DesktopEntryPath(), players);
    EXPECT_EQ(MimePackagePath(), playersPackage);
    EXPECT_EQ(DefaultFor("video/x-matroska"), "orvane-2.desktop");
    EXPECT_EQ(DefaultFor("video/x-orvane-wm"), "orvane-2.desktop");
    EXPECT_EQ(TypeOf(wm), "video/x-orvane-wm");
    EXPECT_EQ(TypeOf(mine), "application/x-mine");
    const QString entry = QString::fromStdString(testsupport::ReadFile(players.toStdString()));
    EXPECT_TRUE(entry.contains("\nExec=" + AppFilePath("orvane.exe") + " %f\n"))
        << entry.toStdString();

    // Registered again: the player finds its own files and takes no further names.
    Associate({"avi"}, {});
    EXPECT_FALSE(QFile::exists(temp.file("xdgdata/applications/orvane-3.desktop").c_str()));
    EXPECT_FALSE(QFile::exists(temp.file("xdgdata/mime/packages/orvane-3.xml").c_str()));

    Associate({}, {"mkv", "wm", "avi"});
    untouched();
    EXPECT_FALSE(QFile::exists(players));
    EXPECT_FALSE(QFile::exists(playersPackage));
    EXPECT_EQ(DefaultFor("video/x-matroska"), "previous.desktop");
    EXPECT_EQ(TypeOf(mine), "application/x-mine");
}

// The registry can be read but not written: registering does not stick, and a default whose
// previous value cannot be kept is not taken over, so giving the type up later cannot bring
// back a stale one.
TEST_F(DesktopFileTypesTest, ADefaultIsTakenOverOnlyWhenThePreviousOneIsKept) {
    platform::IniWriteString(List(), "Default Applications", "video/x-matroska",
                             "previous.desktop;");
    RegisterFileAssociations("mkv");
    const std::string listBefore = testsupport::ReadFile(List());
    {
        RegistryWritesBlocked blocked;
        EXPECT_NE(ProjectFileAssociations(), QString());
    }
    EXPECT_EQ(testsupport::ReadFile(List()), listBefore);
    EXPECT_EQ(Default("video/x-matroska"), "previous.desktop;");
}

TEST_F(DesktopFileTypesTest, ExecNamesTheProgramExactlyWhateverItsPathHolds) {
    const struct {
        QString program, exec;
    } cases[] = {
        {"/opt/orvane/bin/orvane", "/opt/orvane/bin/orvane"},
        {"/opt/my player/orvane", "\"/opt/my player/orvane\""},
        {"/opt/a\"b$c/orvane", "\"/opt/a\\\\\"b\\\\$c/orvane\""},
        {"/opt/100%/orvane", "/opt/100%%/orvane"},
    };
    for (const auto& c : cases) {
        const QString text = DesktopEntryText(c.program, {"video/mp4"});
        EXPECT_TRUE(text.contains("\nExec=" + c.exec + " %f\n")) << text.toStdString();
    }
}

TEST_F(DesktopFileTypesTest, SetFileLinksRunsTheStoredChoiceInAProcessOfItsOwn) {
    InstallDesktopProgram();
    DbSetValue("settings_linked_type", QString("avi,wm"));
    RegisterFileAssociations("mkv");

    QString error;
    EXPECT_EQ(SetFileLinks(&error), 0) << error.toStdString();

    EXPECT_TRUE(IsFileAssociationRegistered("avi"));
    EXPECT_TRUE(IsFileAssociationRegistered("wm"));
    EXPECT_FALSE(IsFileAssociationRegistered("mkv"));
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software\\Classes\\orvane.avi\\shell\\Open\\command"),
              '"' + AppFilePath("orvane.exe") + "\" \"%1\"");
    EXPECT_EQ(Default("video/x-msvideo"), "orvane.desktop;");
    EXPECT_EQ(Default("video/x-orvane-wm"), "orvane.desktop;");
    EXPECT_EQ(Default("video/x-matroska"), "");
    EXPECT_TRUE(QString::fromStdString(testsupport::ReadFile(MimePackagePath().toStdString()))
                    .contains("<glob pattern=\"*.wm\""));
}

TEST_F(DesktopFileTypesTest, SetFileLinksFailsWithTheReasonWhenTheRegistryCannotBeWritten) {
    InstallDesktopProgram();
    DbSetValue("settings_linked_type", QString("avi,wm"));
    RegistryWritesBlocked blocked;

    QString error;
    EXPECT_EQ(SetFileLinks(&error), 1);
    EXPECT_TRUE(error.contains("orvane -setfilelinks: cannot lock")) << error.toStdString();
    EXPECT_FALSE(IsFileAssociationRegistered("avi"));
    EXPECT_FALSE(QFile::exists(DesktopEntryPath()));
    EXPECT_EQ(Default("video/x-msvideo"), "");
}

}  // namespace
