#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "connection/IniFile.h"
#include "connection/ModemList.h"

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
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("krl-modems-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    fs::path dir_;
};

TEST_F(ModemFolder, ListsNamedDescriptionsInFileOrder) {
    write("b.mdm", "[Modem]\nName=Bravo\n");
    write("A.MDM", "[modem]\nname=Alpha\n");
    write("noname.mdm", "[Modem]\nType=Modem\n");
    write("blanked.mdm", "[Modem]\nName=???\n");
    write("other.txt", "[Modem]\nName=Not a modem file\n");
    fs::create_directories(dir_ / "dir.mdm");
    auto modems = krl::listModems(dir_.string());
    ASSERT_EQ(modems.size(), 2u);
    EXPECT_EQ(modems[0].name, "Alpha");
    EXPECT_EQ(modems[1].name, "Bravo");
    EXPECT_EQ(modems[1].path, (dir_ / "b.mdm").string());
    EXPECT_TRUE(krl::listModems((dir_ / "missing").string()).empty());
}

TEST_F(ModemFolder, RefusesOversizedAndMissingFiles) {
    write("huge.mdm", "[Modem]\nName=Huge\n" + std::string(IniFile::kMaxFileBytes, ';'));
    EXPECT_FALSE(IniFile::load((dir_ / "huge.mdm").string()));
    EXPECT_FALSE(IniFile::load((dir_ / "absent.mdm").string()));
    EXPECT_TRUE(krl::listModems(dir_.string()).empty());
    EXPECT_EQ(krl::readConnectType((dir_ / "absent.mdm").string()), krl::ConnectType::Modem);
}

TEST(ShippedModems, EachHasANameAndType) {
    auto modems = krl::listModems(KRL_MODEM_DIR);
    ASSERT_EQ(modems.size(), 3u);
    std::map<std::string, krl::ConnectType> types;
    for (const auto& m : modems)
        types[m.name] = krl::readConnectType(m.path);
    EXPECT_EQ(types["Serial Cable"], krl::ConnectType::SerialCable);
    EXPECT_EQ(types["Generic Hayes Modem"], krl::ConnectType::Modem);
    EXPECT_EQ(types["Generic DSVD Modem"], krl::ConnectType::Dsvd);
}
