#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "connection/IniFile.h"
#include "connection/ModemFileCheck.h"
#include "connection/ModemList.h"
#include "fakes/TempFolder.h"

namespace fs = std::filesystem;
using krl::IniFile;

TEST(IniFile, SectionsAndKeysMatchWithoutCaseAndTheFirstWins) {
    auto ini = IniFile::parse(
        "\xEF\xBB\xBF; a comment\r\n"
        "ignored=before any section\r\n"
        "[Modem]\r\n"
        "  Name =  Generic Hayes  \r\n"
        "name=second\r\n"
        "Type=\"Serial Cable\"\r\n"
        "Dial=ATDT5551234;\n"
        "Eq=a=b\n"
        "no equals sign\n"
        "[general commands]\n"
        "COMMAND1=AT|\n"
        "[MODEM]\n"
        "Extra=from the second Modem section\n");
    EXPECT_EQ(ini.value("modem", "NAME"), "Generic Hayes");
    EXPECT_EQ(ini.value("Modem", "Type"), "Serial Cable");
    EXPECT_EQ(ini.value("Modem", "Dial"), "ATDT5551234;");  // ';' inside a value is no comment
    EXPECT_EQ(ini.value("Modem", "Eq"), "a=b");
    EXPECT_EQ(ini.value("General Commands", "Command1"), "AT|");
    EXPECT_FALSE(ini.value("Modem", "Extra"));
    EXPECT_FALSE(ini.value("Modem", "ignored"));
    EXPECT_FALSE(ini.value("Nothing", "Name"));
    EXPECT_TRUE(ini.hasSection("GENERAL COMMANDS"));
}

TEST(IniFile, QuestionMarksBlankAKeyOut) {
    auto ini = IniFile::parse("[Modem]\nName=???\nType=DSVD\n");
    EXPECT_FALSE(krl::scriptValue(ini, "Modem", "Name"));
    EXPECT_EQ(krl::connectTypeOf(ini), krl::ConnectType::Dsvd);
    EXPECT_EQ(krl::connectTypeOf(IniFile::parse("[Modem]\nType=Fax\n")), krl::ConnectType::Modem);
    EXPECT_EQ(krl::connectTypeOf(IniFile::parse("[modem]\ntype=serial cable\n")),
              krl::ConnectType::SerialCable);
}

TEST(IniFile, IntegersReadLikeProfileIntegersAndSaturate) {
    EXPECT_EQ(IniFile::toInteger("120"), 120);
    EXPECT_EQ(IniFile::toInteger(" -4x"), -4);
    EXPECT_EQ(IniFile::toInteger("abc"), 0);
    EXPECT_EQ(IniFile::toInteger(""), 0);
    EXPECT_EQ(IniFile::toInteger("99999999999999999999999999"), LONG_MAX);
    EXPECT_EQ(IniFile::toInteger("-99999999999999999999999999"), LONG_MIN);
}

class ModemFolder : public ::testing::Test {
protected:
    void write(const std::string& name, const std::string& text) {
        krl::test::writeText(dir_ / name, text);
    }
    krl::test::TempFolder folder_;
    const fs::path& dir_ = folder_.path();
};

TEST_F(ModemFolder, ListsNamedUsableDescriptionsInFileOrder) {
    const std::string dials = "Type=Modem\n[Connect Commands]\nCommand1=ATD%PhoneNumber%\n";
    write("b.mdm", "[Modem]\nName=Bravo\n" + dials);
    write("A.MDM",
          "[modem]\nname=Alpha\ntype=Serial Cable\n[listen commands]\n"
          "waitcommand=KRLCALL\n[connect commands]\ncommand10=KRLANSWER|\n");
    write("noname.mdm", "[Modem]\n" + dials);
    write("blanked.mdm", "[Modem]\nName=???\n" + dials);
    write("notype.mdm", "[Modem]\nName=No type\n[Connect Commands]\nCommand1=ATD|\n");
    write("nocommands.mdm", "[Modem]\nName=No commands\nType=Modem\n");
    write("other.txt", "[Modem]\nName=Not a modem file\n" + dials);
    fs::create_directories(dir_ / "dir.mdm");
    auto modems = krl::listModems(dir_.string());
    ASSERT_EQ(modems.size(), 2u);
    EXPECT_EQ(modems[0].name, "Alpha");
    EXPECT_EQ(modems[1].name, "Bravo");
    EXPECT_EQ(modems[1].path, (dir_ / "b.mdm").string());
    EXPECT_TRUE(krl::listModems((dir_ / "missing").string()).empty());
}

TEST(ModemChoice, AnExactNameWinsThenTheFirstThatBeginsWithIt) {
    const std::vector<krl::ModemEntry> modems = {
        {"Hayes Accura", "a.mdm"}, {"Hayes", "b.mdm"}, {"Serial Cable", "c.mdm"}};
    struct Case {
        const char* stored;
        std::optional<std::size_t> chosen;
    };
    for (Case c :
         {Case{"Hayes", 1}, Case{"Hayes A", 0}, Case{"Serial", 2}, Case{"Serial Cable", 2},
          Case{"", std::nullopt}, Case{"USR", std::nullopt}, Case{"hayes", std::nullopt}}) {
        EXPECT_EQ(krl::chooseModem(modems, c.stored), c.chosen) << c.stored;
    }
}

TEST_F(ModemFolder, RefusesOversizedAndMissingFiles) {
    write("huge.mdm", "[Modem]\nName=Huge\n" + std::string(IniFile::kMaxFileBytes, ';'));
    EXPECT_FALSE(IniFile::load((dir_ / "huge.mdm").string()));
    EXPECT_FALSE(IniFile::load((dir_ / "absent.mdm").string()));
    EXPECT_TRUE(krl::listModems(dir_.string()).empty());
    EXPECT_EQ(krl::readConnectType((dir_ / "absent.mdm").string()), krl::ConnectType::Modem);
}

TEST(ShippedModems, EachHasANameAndTypeAndServesBothKindsOfCall) {
    auto modems = krl::listModems(KRL_MODEM_DIR);
    ASSERT_EQ(modems.size(), 3u);
    std::map<std::string, krl::ConnectType> types;
    for (const auto& m : modems) {
        types[m.name] = krl::readConnectType(m.path);
        EXPECT_EQ(krl::modemFileProblem(m.path, krl::ModemUse::Dial), "");
        EXPECT_EQ(krl::modemFileProblem(m.path, krl::ModemUse::Answer), "");
    }
    EXPECT_EQ(types["Serial Cable"], krl::ConnectType::SerialCable);
    EXPECT_EQ(types["Generic Hayes Modem"], krl::ConnectType::Modem);
    EXPECT_EQ(types["Generic DSVD Modem"], krl::ConnectType::Dsvd);
}
