// The associations in a temporary registry: the keys and strings registration writes, the
// backup it keeps, and what unregistration gives back and leaves alone.
#include "file_associations.h"

#include <QSet>

#include "app_paths.h"
#include "association_test_support.h"
#include "platform/registry.h"
#include "registry_values.h"

namespace {

const QString kCU = "HKEY_CURRENT_USER\\";
const QString kLM = "HKEY_LOCAL_MACHINE\\";
const QString kRoaming = "SOFTWARE\\Microsoft\\Windows\\Roaming\\OpenWith\\FileExts\\.";
const QString kExplorer = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";

using FileAssociationsTest = AssociationTest;

TEST_F(FileAssociationsTest, TheListOffersFortySevenExtensionsOnce) {
    const QStringList list = AssociationExtensions();
    EXPECT_EQ(list.size(), 47);
    EXPECT_EQ(list.first(), "asf");
    EXPECT_EQ(list.last(), "mkv");
    EXPECT_EQ(QSet<QString>(list.begin(), list.end()).size(), 47);
}

TEST_F(FileAssociationsTest, RegistrationWritesTheExactKeysUnderBothRoots) {
    RegistryWrite(kCU + "Software\\Classes\\.mkv", ".", QString("vlc.mkv"));
    for (const QString& root : {kCU, kLM})
        RegistryWrite(root + "Software\\Classes\\.mkv\\OpenWithProgids", "vlc.mkv", QString());
    for (const QString& fileExts : {kRoaming, kExplorer}) {
        RegistryWrite(kCU + fileExts + "mkv\\UserChoice", "ProgId", QString("vlc.mkv"));
        RegistryWrite(kCU + fileExts + "mkv\\OpenWithProgids", "vlc.mkv", QString());
    }

    RegisterFileAssociations("mkv");

    const QString exe = '"' + HostExePath() + '"';
    struct Expected {
        QString root, backup;
    };
    for (const Expected& e : {Expected{kCU, "vlc.mkv"}, Expected{kLM, ""}}) {
        SCOPED_TRACE(e.root.toStdString());
        EXPECT_EQ(Value(e.root + "Software\\Classes\\.mkv"), "orvane.mkv");
        EXPECT_EQ(Value(e.root + "Software\\Classes\\.mkv", "ovbak"), e.backup);
        EXPECT_FALSE(KeyExists(e.root + "Software\\Classes\\.mkv\\OpenWithProgids"));
        EXPECT_EQ(Value(e.root + "Software\\Classes\\orvane.mkv"), "orvane");
        EXPECT_EQ(Value(e.root + "Software\\Classes\\orvane.mkv\\DefaultIcon"), exe + ",0");
        EXPECT_EQ(Value(e.root + "Software\\Classes\\orvane.mkv\\shell\\Open\\command"),
                  exe + " \"%1\"");
    }
    for (const QString& fileExts : {kRoaming, kExplorer}) {
        SCOPED_TRACE(fileExts.toStdString());
        EXPECT_EQ(Value(kCU + fileExts + "mkv\\UserChoice", "ProgId"), "orvane.mkv");
        EXPECT_FALSE(KeyExists(kCU + fileExts + "mkv\\OpenWithProgids"));
    }
    EXPECT_TRUE(IsFileAssociationRegistered("mkv"));
    EXPECT_FALSE(IsFileAssociationRegistered("avi"));
}

TEST_F(FileAssociationsTest, UnregistrationRestoresTheFirstBackupAndClearsTheChoices) {
    struct Case {
        const char* name;
        QString previous;  // "<absent>": the class key had no default
        QString restored;
    };
    const Case cases[] = {{"no default", "<absent>", ""},
                          {"foreign default", "vlc.mp4", "vlc.mp4"},
                          {"other case counts as foreign", "Orvane.mp4", "Orvane.mp4"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.previous != "<absent>")
            RegistryWrite(kCU + "Software\\Classes\\.mp4", ".", c.previous);
        // Registering twice keeps the backup of the first time.
        RegisterFileAssociations("mp4");
        RegisterFileAssociations("mp4");
        EXPECT_EQ(Value(kCU + "Software\\Classes\\.mp4", "ovbak"),
                  c.previous == "<absent>" ? "" : c.previous);
        // A program that listed itself since goes with the player's choice; another
        // program's record beside them keeps its parent key.
        RegistryWrite(kCU + kExplorer + "mp4\\OpenWithProgids", "vlc.mp4", QString());
        RegistryWrite(kCU + kRoaming + "mp4\\OpenWithList", "a", QString("vlc"));

        UnregisterFileAssociations("mp4");

        EXPECT_EQ(Value(kCU + "Software\\Classes\\.mp4"), c.restored);
        for (const QString& root : {kCU, kLM})
            EXPECT_EQ(Value(root + "Software\\Classes\\.mp4", "ovbak"), "<absent>");
        EXPECT_EQ(Value(kLM + "Software\\Classes\\.mp4"), "");
        EXPECT_FALSE(KeyExists(kCU + kExplorer + "mp4"));
        EXPECT_FALSE(KeyExists(kCU + kRoaming + "mp4\\UserChoice"));
        EXPECT_TRUE(KeyExists(kCU + kRoaming + "mp4\\OpenWithList"));
        // The player's own classes stay for a later registration.
        EXPECT_EQ(Value(kCU + "Software\\Classes\\orvane.mp4"), "orvane");
        EXPECT_EQ(Value(kLM + "Software\\Classes\\orvane.mp4"), "orvane");
        EXPECT_FALSE(IsFileAssociationRegistered("mp4"));

        RegistryWrite(kCU + "Software\\Classes\\.mp4", ".", QString());
        platform::RegistryDeleteKey(platform::Hive::CurrentUser,
                                    (kRoaming + "mp4\\OpenWithList").toStdString());
    }
}

TEST_F(FileAssociationsTest, UnregistrationLeavesWhatIsNotThePlayersAlone) {
    // Never registered: the user's choice for another program, with its records.
    RegistryWrite(kCU + "Software\\Classes\\.avi", ".", QString("vlc.avi"));
    RegistryWrite(kCU + kExplorer + "avi\\UserChoice", "ProgId", QString("vlc.avi"));
    RegistryWrite(kCU + kExplorer + "avi\\OpenWithProgids", "vlc.avi", QString());
    RegistryWrite(kCU + kRoaming + "avi", "x", QString("kept"));
    // The player's name in another case is someone else's.
    RegistryWrite(kCU + "Software\\Classes\\.flv", ".", QString("Orvane.flv"));

    UnregisterFileAssociations("avi");
    UnregisterFileAssociations("flv");

    EXPECT_EQ(Value(kCU + "Software\\Classes\\.avi"), "vlc.avi");
    EXPECT_EQ(Value(kCU + kExplorer + "avi\\UserChoice", "ProgId"), "vlc.avi");
    EXPECT_TRUE(KeyExists(kCU + kExplorer + "avi\\OpenWithProgids"));
    EXPECT_EQ(Value(kCU + kRoaming + "avi", "x"), "kept");
    EXPECT_EQ(Value(kCU + "Software\\Classes\\.flv"), "Orvane.flv");

    // Registered, and then the user chose another program in the file manager: the
    // association is given back, the user's choice stays.
    RegisterFileAssociations("mov");
    RegistryWrite(kCU + kExplorer + "mov\\UserChoice", "ProgId", QString("vlc.mov"));
    UnregisterFileAssociations("mov");
    EXPECT_EQ(Value(kCU + kExplorer + "mov\\UserChoice", "ProgId"), "vlc.mov");
    EXPECT_FALSE(KeyExists(kCU + kRoaming + "mov"));
}

TEST_F(FileAssociationsTest, ABackupAloneMakesTheAssociationThePlayers) {
    // The default was changed by someone else after registration: the backup goes, the
    // other program's default stays.
    RegisterFileAssociations("wmv");
    RegistryWrite(kCU + "Software\\Classes\\.wmv", ".", QString("other.wmv"));
    UnregisterFileAssociations("wmv");
    EXPECT_EQ(Value(kCU + "Software\\Classes\\.wmv"), "other.wmv");
    EXPECT_EQ(Value(kCU + "Software\\Classes\\.wmv", "ovbak"), "<absent>");
    EXPECT_EQ(Value(kLM + "Software\\Classes\\.wmv"), "");
}

}  // namespace
