#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fakes/TempFolder.h"
#include "platform/qt/HomeFolders.h"

using namespace krl;

namespace {

QProcessEnvironment env(std::initializer_list<std::pair<const char*, QString>> values) {
    QProcessEnvironment e;
    for (const auto& [name, value] : values)
        e.insert(QLatin1String(name), value);
    return e;
}

void writeFile(const QString& path, std::string_view content) {
    test::writeText(path.toStdString(), content);
}

std::string readFile(const QString& path) {
    return test::readText(path.toStdString());
}

}  // namespace

TEST(HomeFolders, HomeAndSettingsFileComeFromTheEnvironment) {
    auto full = env({{"KRL_HOME", "/k"}, {"XDG_DATA_HOME", "/d"}, {"HOME", "/h"}});
    EXPECT_EQ(HomeFolders::resolveHome(full), "/k");
    EXPECT_EQ(HomeFolders::resolveHome(env({{"XDG_DATA_HOME", "/d"}, {"HOME", "/h"}})),
              "/d/Kestrelcall");
    // An empty KRL_HOME is not set; a relative XDG folder is ignored.
    EXPECT_EQ(
        HomeFolders::resolveHome(env({{"KRL_HOME", ""}, {"XDG_DATA_HOME", "rel"}, {"HOME", "/h"}})),
        "/h/.local/share/Kestrelcall");
    EXPECT_EQ(HomeFolders::settingsFile(env({{"XDG_CONFIG_HOME", "/c/"}, {"HOME", "/h"}})),
              "/c/Brightmar/Kestrelcall.ini");
    EXPECT_EQ(HomeFolders::settingsFile(env({{"HOME", "/h"}})),
              "/h/.config/Brightmar/Kestrelcall.ini");

    EXPECT_EQ(HomeFolders::machineSettingsFile(env({{"XDG_CONFIG_DIRS", "/opt/xdg:/etc/xdg"}})),
              "/opt/xdg/Brightmar/Kestrelcall.ini");
    EXPECT_EQ(HomeFolders::machineSettingsFile(env({})), "/etc/xdg/Brightmar/Kestrelcall.ini");

    // KRL_HOME wins over a stored home folder, which wins over the default.
    EXPECT_EQ(HomeFolders::effectiveHome(full, "/stored"), "/k");
    EXPECT_EQ(HomeFolders::effectiveHome(env({{"HOME", "/h"}}), "/stored"), "/stored");
    EXPECT_EQ(HomeFolders::effectiveHome(env({{"HOME", "/h"}}), ""), "/h/.local/share/Kestrelcall");
}

TEST(HomeFolders, FirstRunLaysOutTheHomeFolderAndLaterRunsKeepIt) {
    QTemporaryDir tmp;
    QString assets = tmp.filePath("assets");
    QDir().mkpath(assets);
    writeFile(assets + "/vi_page.wav", "RIFF page");
    writeFile(assets + "/Hayes.mdm", "[Modem]\r\nName=Hayes\r\n");
    QDir().mkpath(assets + "/not-a-file");

    auto e = env({{"KRL_HOME", tmp.filePath("home")}, {"HOME", tmp.path()}});
    HomeFolders folders(HomeFolders::resolveHome(e));
    ASSERT_TRUE(folders.layOut(folders.defaultReceiveDir(), assets));
    for (const char* sub : {"data", "Business Cards", "Temp", "Receive", "Snapshots"})
        EXPECT_TRUE(QFileInfo(folders.home() + "/" + sub).isDir()) << sub;
    EXPECT_EQ(readFile(folders.pageSound()), "RIFF page");
    EXPECT_TRUE(QFile::exists(folders.home() + "/Hayes.mdm"));
    EXPECT_FALSE(QFile::exists(folders.home() + "/not-a-file"));

    // The user's own changes survive the next start; nothing is left half-copied.
    writeFile(folders.pageSound(), "my own page sound");
    ASSERT_TRUE(folders.layOut(folders.defaultReceiveDir(), assets));
    EXPECT_EQ(readFile(folders.pageSound()), "my own page sound");
    EXPECT_EQ(folders.installMissingFiles(assets), 0);
    QStringList files = QDir(folders.home()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, (QStringList{"Hayes.mdm", "vi_page.wav"}));
}

TEST(HomeFolders, AFolderThatCannotBeMadeIsReportedToTheCaller) {
    QTemporaryDir tmp;
    writeFile(tmp.filePath("file"), "x");
    HomeFolders folders(tmp.filePath("file"));
    EXPECT_FALSE(folders.createGeneralFolders());
    EXPECT_FALSE(HomeFolders::createFolder(""));
    EXPECT_TRUE(HomeFolders::createFolder(tmp.filePath("a/b/c")));
    EXPECT_TRUE(HomeFolders::createFolder(tmp.filePath("a/b/c")));
}
