#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/children.h"
#include "testsupport/temp_dir.h"

namespace fs = std::filesystem;
using platform::IniDeleteKey;
using platform::IniKeys;
using platform::IniReadInt;
using platform::IniReadString;
using platform::IniSections;
using platform::IniWriteString;
using platform::WriteFileAtomically;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Files in the folder other than the ini and its lock file (temporary files left behind).
std::vector<std::string> Leftovers(const std::string& folder, const std::string& iniName) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != iniName && name != "." + iniName + ".lock") names.push_back(name);
    }
    return names;
}

}  // namespace

TEST(IniFile, MissingFileReadsAsEmpty) {
    TempDir tmp;
    const std::string path = tmp.file("none.ini");
    EXPECT_EQ(IniReadString(path, "param", "baseurl", "dflt"), "dflt");
    EXPECT_EQ(IniReadString(path, "param", "baseurl"), "");
    EXPECT_EQ(IniReadInt(path, "param", "n", 17), 17);
    EXPECT_TRUE(IniSections(path).empty());
    EXPECT_TRUE(IniKeys(path, "param").empty());
    EXPECT_FALSE(fs::exists(path));
}

TEST(IniFile, ReadsCaseInsensitivelyAndTakesValuesRaw) {
    TempDir tmp;
    const std::string path = tmp.file("config.ini");
    WriteFile(path,
              "; comment = not a key\n"
              "orphan=before any section\n"
              "\n"
              "  [ Param ]  \n"
              "BaseUrl =  http://127.0.0.1:8080/Orvane/?a=b  \n"
              ";baseurl=commented\n"
              "quoted = \"kept\" ; not a comment\n"
              "empty=\n"
              "\tindented\t=\tvalue\t\n"
              "no equals sign here\n"
              "[AppSetting]\n"
              "savePath = D:\\orvane\\\n");
    EXPECT_EQ(IniReadString(path, "param", "baseurl"), "http://127.0.0.1:8080/Orvane/?a=b");
    EXPECT_EQ(IniReadString(path, "PARAM", "BASEURL"), "http://127.0.0.1:8080/Orvane/?a=b");
    EXPECT_EQ(IniReadString(path, "param", "quoted"), "\"kept\" ; not a comment");
    EXPECT_EQ(IniReadString(path, "param", "empty", "dflt"), "");
    EXPECT_EQ(IniReadString(path, "param", "indented"), "value");
    EXPECT_EQ(IniReadString(path, "appsetting", "SavePath"), "D:\\orvane\\");
    EXPECT_EQ(IniReadString(path, "param", "no equals sign here", "dflt"), "dflt");
    EXPECT_EQ(IniReadString(path, "", "orphan", "dflt"), "dflt");
    EXPECT_EQ(IniReadString(path, "param", ";baseurl", "dflt"), "dflt");
    EXPECT_EQ(IniReadString(path, "param", "savePath", "dflt"), "dflt");  // other section
}

TEST(IniFile, FirstOccurrenceWins) {
    TempDir tmp;
    const std::string path = tmp.file("dup.ini");
    WriteFile(path, "[a]\nk=1\nK=2\n[b]\nk=3\n[A]\nk=4\nj=5\n");
    EXPECT_EQ(IniReadString(path, "a", "k"), "1");
    EXPECT_EQ(IniReadString(path, "a", "j"), "5");  // a repeated section is searched too
    EXPECT_EQ(IniSections(path), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(IniKeys(path, "A"), (std::vector<std::string>{"k", "j"}));
}

TEST(IniFile, ReadsCrLfAndByteOrderMark) {
    TempDir tmp;
    const std::string path = tmp.file("crlf.ini");
    WriteFile(path, "\xEF\xBB\xBF[s]\r\nk = v \r\nn=5\r\n");
    EXPECT_EQ(IniReadString(path, "s", "k"), "v");
    EXPECT_EQ(IniReadInt(path, "s", "n", 0), 5);
    EXPECT_EQ(IniSections(path), (std::vector<std::string>{"s"}));
}

TEST(IniFile, ReadIntLikeGetPrivateProfileInt) {
    TempDir tmp;
    const std::string path = tmp.file("int.ini");
    WriteFile(path,
              "[n]\na=42\nb=-7\nc=+3\nd=12abc\ne=abc\nf=\ng= 8 \nh=99999999999\ni=-99999999999\n"
              "j=-\nk=0x1F\n");
    EXPECT_EQ(IniReadInt(path, "n", "a", -1), 42);
    EXPECT_EQ(IniReadInt(path, "n", "b", -1), -7);
    EXPECT_EQ(IniReadInt(path, "n", "c", -1), 3);
    EXPECT_EQ(IniReadInt(path, "n", "d", -1), 12);
    EXPECT_EQ(IniReadInt(path, "n", "e", -1), -1);
    EXPECT_EQ(IniReadInt(path, "n", "f", -1), -1);
    EXPECT_EQ(IniReadInt(path, "n", "g", -1), 8);
    EXPECT_EQ(IniReadInt(path, "n", "h", -1), INT_MAX);
    EXPECT_EQ(IniReadInt(path, "n", "i", -1), INT_MIN);
    EXPECT_EQ(IniReadInt(path, "n", "j", -1), -1);
    EXPECT_EQ(IniReadInt(path, "n", "k", -1), 0);
    EXPECT_EQ(IniReadInt(path, "n", "missing", 99), 99);
}

TEST(IniFile, WriteCreatesFileAndFolders) {
    TempDir tmp;
    const std::string path = tmp.file("ini/sub/path.ini");
    ASSERT_TRUE(IniWriteString(path, "AppSetting", "savePath", "D:\\orvane\\"));
    EXPECT_EQ(ReadFile(path), "[AppSetting]\nsavePath=D:\\orvane\\\n");
    EXPECT_EQ(IniReadString(path, "appsetting", "savepath"), "D:\\orvane\\");
}

TEST(IniFile, PathsMayUseBackslashes) {
    TempDir tmp;
    const std::string path = tmp.path() + "\\cfg\\config.ini";
    ASSERT_TRUE(IniWriteString(path, "param", "baseurl", "http://x/"));
    EXPECT_TRUE(fs::exists(tmp.file("cfg/config.ini")));
    EXPECT_EQ(IniReadString(tmp.file("cfg/config.ini"), "param", "baseurl"), "http://x/");
    EXPECT_EQ(IniReadString(path, "param", "baseurl"), "http://x/");
}

TEST(IniFile, WriteReplacesOnlyTheValueAndKeepsEverythingElse) {
    TempDir tmp;
    const std::string path = tmp.file("keep.ini");
    const std::string before =
        "; header comment\n"
        "\n"
        "[First]\n"
        "alpha = 1\n"
        "  SavePath =   C:\\old\n"
        "; trailing comment\n"
        "\n"
        "[second]\n"
        "savepath=untouched\n";
    WriteFile(path, before);
    ASSERT_TRUE(IniWriteString(path, "first", "savepath", "E:\\new dir\\"));
    EXPECT_EQ(ReadFile(path),
              "; header comment\n"
              "\n"
              "[First]\n"
              "alpha = 1\n"
              "  SavePath =   E:\\new dir\\\n"
              "; trailing comment\n"
              "\n"
              "[second]\n"
              "savepath=untouched\n");
    // An emptied value keeps the line's style; a new value goes back in its place.
    ASSERT_TRUE(IniWriteString(path, "first", "alpha", ""));
    EXPECT_EQ(IniReadString(path, "first", "alpha", "dflt"), "");
    ASSERT_TRUE(IniWriteString(path, "first", "alpha", "2"));
    EXPECT_NE(ReadFile(path).find("\nalpha = 2\n"), std::string::npos);
}

TEST(IniFile, WriteAddsKeyAtTheEndOfItsSection) {
    TempDir tmp;
    const std::string path = tmp.file("add.ini");
    WriteFile(path, "[a]\nx=1\n\n; about b\n[b]\ny=2\n");
    ASSERT_TRUE(IniWriteString(path, "A", "z", "3"));
    EXPECT_EQ(ReadFile(path), "[a]\nx=1\nz=3\n\n; about b\n[b]\ny=2\n");
    ASSERT_TRUE(IniWriteString(path, "b", "w", "4"));
    EXPECT_EQ(ReadFile(path), "[a]\nx=1\nz=3\n\n; about b\n[b]\ny=2\nw=4\n");
}

TEST(IniFile, WriteAddsAMissingSectionAtTheEnd) {
    TempDir tmp;
    const std::string path = tmp.file("sect.ini");
    WriteFile(path, "[a]\nx=1");  // no final line break
    ASSERT_TRUE(IniWriteString(path, "b", "y", "2"));
    EXPECT_EQ(ReadFile(path), "[a]\nx=1\n\n[b]\ny=2\n");
    EXPECT_EQ(IniReadString(path, "a", "x"), "1");

    const std::string path2 = tmp.file("sect2.ini");
    WriteFile(path2, "[a]\nx=1");
    ASSERT_TRUE(IniWriteString(path2, "a", "y", "2"));
    EXPECT_EQ(ReadFile(path2), "[a]\nx=1\ny=2\n");
}

TEST(IniFile, WriteKeepsCrLfLineEnds) {
    TempDir tmp;
    const std::string path = tmp.file("crlf.ini");
    WriteFile(path, "[a]\r\nx=1\r\n");
    ASSERT_TRUE(IniWriteString(path, "a", "x", "9"));
    ASSERT_TRUE(IniWriteString(path, "a", "y", "2"));
    ASSERT_TRUE(IniWriteString(path, "b", "z", "3"));
    EXPECT_EQ(ReadFile(path), "[a]\r\nx=9\r\ny=2\r\n\r\n[b]\r\nz=3\r\n");
}

TEST(IniFile, WriteRefusesWhatTheFormatCannotHold) {
    TempDir tmp;
    const std::string path = tmp.file("bad.ini");
    EXPECT_FALSE(IniWriteString(path, "s", "k", "two\nlines"));
    EXPECT_FALSE(IniWriteString(path, "s", "a=b", "v"));
    EXPECT_FALSE(IniWriteString(path, "s", "", "v"));
    EXPECT_FALSE(IniWriteString(path, "", "k", "v"));
    EXPECT_FALSE(IniWriteString(path, "s]x", "k", "v"));
    EXPECT_FALSE(IniWriteString(path, "s", ";k", "v"));
    EXPECT_FALSE(fs::exists(path));
}

TEST(IniFile, AnUnreadableFileIsNotOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir tmp;
    const std::string path = tmp.file("locked.ini");
    WriteFile(path, "[s]\nk=1\n");
    ::chmod(path.c_str(), 0200);
    EXPECT_FALSE(IniWriteString(path, "s", "j", "2"));
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(ReadFile(path), "[s]\nk=1\n");
}

TEST(IniFile, ValuesRoundTripUtf8AndEqualsSigns) {
    TempDir tmp;
    const std::string path = tmp.file("utf8.ini");
    const std::string value = "C:\\Vidéos\\日本語=ok;x [y]";
    ASSERT_TRUE(IniWriteString(path, "Médias", "Dossier", value));
    EXPECT_EQ(IniReadString(path, "Médias", "dossier"), value);
    // Windows semantics: blanks around a value do not survive.
    ASSERT_TRUE(IniWriteString(path, "s", "k", "  padded  "));
    EXPECT_EQ(IniReadString(path, "s", "k"), "padded");
}

TEST(IniFile, DeleteKey) {
    TempDir tmp;
    const std::string path = tmp.file("del.ini");
    EXPECT_TRUE(IniDeleteKey(path, "s", "k"));
    EXPECT_FALSE(fs::exists(path));
    WriteFile(path, "[s]\nk=1\nj=2\n[t]\nk=3\n[S]\nK=4\n");
    EXPECT_TRUE(IniDeleteKey(path, "S", "K"));
    EXPECT_EQ(ReadFile(path), "[s]\nj=2\n[t]\nk=3\n[S]\n");
    EXPECT_EQ(IniReadString(path, "s", "k", "gone"), "gone");
    EXPECT_TRUE(IniDeleteKey(path, "s", "never"));
    EXPECT_EQ(ReadFile(path), "[s]\nj=2\n[t]\nk=3\n[S]\n");
}

TEST(IniFile, SectionsAndKeysInFileOrder) {
    TempDir tmp;
    const std::string path = tmp.file("list.ini");
    WriteFile(path, "[zeta]\nb=1\na=2\n;c=3\n[alpha]\n[Zeta]\nB=5\nc=6\n");
    EXPECT_EQ(IniSections(path), (std::vector<std::string>{"zeta", "alpha"}));
    EXPECT_EQ(IniKeys(path, "ZETA"), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_TRUE(IniKeys(path, "alpha").empty());
    EXPECT_TRUE(IniKeys(path, "missing").empty());
}

TEST(IniFile, WriteLeavesNoTemporaryFilesAndReplacesByRename) {
    TempDir tmp;
    const std::string path = tmp.file("atomic.ini");
    ASSERT_TRUE(IniWriteString(path, "s", "k", "old"));
    ::chmod(path.c_str(), 0640);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    std::ifstream reader(path);  // a reader that opened the file before the write
    ASSERT_TRUE(IniWriteString(path, "s", "k", "new"));
    std::string oldContent((std::istreambuf_iterator<char>(reader)),
                           std::istreambuf_iterator<char>());
    EXPECT_EQ(oldContent, "[s]\nk=old\n");  // still the whole old file

    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);   // a new file was renamed over the old one
    EXPECT_EQ(after.st_mode & 07777, 0640u);  // with the old file's permissions
    EXPECT_EQ(ReadFile(path), "[s]\nk=new\n");
    EXPECT_TRUE(Leftovers(tmp.path(), "atomic.ini").empty());
}

TEST(IniFile, WriteFileAtomically) {
    TempDir tmp;
    const std::string path = tmp.file("a/b/file.txt");
    ASSERT_TRUE(WriteFileAtomically(path, std::string("x\0y", 3)));
    EXPECT_EQ(ReadFile(path), std::string("x\0y", 3));
    ASSERT_TRUE(WriteFileAtomically(path, ""));
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_TRUE(fs::is_regular_file(path));

    // A symbolic link stays a link; its target gets the new content.
    const std::string target = tmp.file("real.ini");
    const std::string link = tmp.file("link.ini");
    WriteFile(target, "[s]\nk=1\n");
    fs::create_symlink(target, link);
    ASSERT_TRUE(IniWriteString(link, "s", "k", "2"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "[s]\nk=2\n");

    EXPECT_FALSE(WriteFileAtomically(tmp.path(), "a folder is not replaced"));
    EXPECT_FALSE(WriteFileAtomically("", "x"));
}

TEST(IniFile, TwoProcessesWritingTheSameFileLoseNothing) {
    TempDir tmp;
    const std::string path = tmp.file("shared.ini");
    ASSERT_TRUE(IniWriteString(path, "common", "start", "1"));
    constexpr int kProcesses = 6;
    constexpr int kKeys = 30;
    EXPECT_TRUE(testsupport::RunInChildren(kProcesses, [&](int p) {
        bool ok = true;
        for (int k = 0; k < kKeys; ++k) {
            // Each writer owns its own section and also writes into a shared one.
            const std::string key = "p" + std::to_string(p) + "k" + std::to_string(k);
            ok = IniWriteString(path, "proc" + std::to_string(p), key, std::to_string(k)) && ok;
            ok = IniWriteString(path, "common", key, std::to_string(p)) && ok;
        }
        return ok;
    }));
    for (int p = 0; p < kProcesses; ++p) {
        for (int k = 0; k < kKeys; ++k) {
            const std::string key = "p" + std::to_string(p) + "k" + std::to_string(k);
            EXPECT_EQ(IniReadString(path, "proc" + std::to_string(p), key), std::to_string(k));
            EXPECT_EQ(IniReadString(path, "common", key), std::to_string(p));
        }
    }
    EXPECT_EQ(IniKeys(path, "common").size(), 1u + kProcesses * kKeys);
    EXPECT_TRUE(Leftovers(tmp.path(), "shared.ini").empty());
}

TEST(IniFile, ThreadsWritingTheSameFileLoseNothing) {
    TempDir tmp;
    const std::string path = tmp.file("threads.ini");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&path, t] {
            for (int k = 0; k < 20; ++k)
                IniWriteString(path, "s", "t" + std::to_string(t) + "_" + std::to_string(k), "v");
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(IniKeys(path, "s").size(), 80u);
}
