#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <cerrno>
#include <functional>
#include <string>

#include "addressbook/AddressBookFile.h"
#include "fakes/TempFolder.h"
#include "platform/posix/PosixFileStore.h"
#include "platform/qt/SettingsStore.h"
#include "transfer/SendQueueFile.h"
#include "transfer/TransferHistoryFile.h"

namespace krl {
namespace {

// The program's stored files, each through its own reader and writer over real files: how
// many records a load gives, and the errno of adding one record. The settings file's records
// are values set away from their defaults; the program examines it before every use.
struct StoreFamily {
    std::string name;
    std::string goodBytes;    // two records
    std::size_t truncatedAt;  // cuts the second record short
    std::function<std::size_t(FileStore&, const std::string&)> loadCount;
    std::function<int(FileStore&, const std::string&)> addOne;
};

const std::string kHome = "/home/u";

SettingsStore examinedSettings(const std::string& path) {
    SettingsStore store(QString::fromStdString(path));
    store.examine();
    return store;
}

std::size_t commsRecords(const CommsSettings& comms) {
    return (comms.modemName == "Hayes") + (comms.xPos == 77) + (comms.outsideLinePrefix == "9");
}

// The file the store writes with two values set: ModemName early in it, x_pos last.
std::string settingsBytes() {
    test::TempFolder scratch;
    const std::string path = (scratch / "s.ini").string();
    SettingsStore store(QString::fromStdString(path));
    CommsSettings comms = store.loadComms(kHome);
    comms.modemName = "Hayes";
    comms.xPos = 77;
    store.storeComms(comms);
    return test::readText(path);
}

std::vector<StoreFamily> families() {
    const std::string card1 =
        "3:Ada\x01"
        "555\x01"
        "d\x01"
        "\x01";
    const std::string card2 =
        "1:Bob\x01"
        "556\x01"
        "e\x01"
        "\x01";
    const std::string folder = "0:People" + std::string(32 - 6, '\0');
    return {
        {"send queue", "/a;T;0\r\n/b;T;0\r\n", 12,
         [](FileStore& f, const std::string& p) { return SendQueueFile(f, p).load().size(); },
         [](FileStore& f, const std::string& p) {
             return SendQueueFile(f, p).append({"/c", "T", 0}).error;
         }},
        {"history", "/a;T;A;d\r\n/b;T;B;d\r\n", 15,
         [](FileStore& f, const std::string& p) { return TransferHistoryFile(f, p).load().size(); },
         [](FileStore& f, const std::string& p) {
             return TransferHistoryFile(f, p).append({"/c", "T", "C", "d"}).error;
         }},
        {"address book", "KCAB1000" + folder + card1 + card2, 8 + folder.size() + card1.size() + 5,
         [](FileStore& f, const std::string& p) {
             AddressBookLoad loaded = AddressBookFile(f, p).load();
             return loaded.book.folders().front().entries.size();
         },
         [](FileStore& f, const std::string& p) {
             AddressBookFile file(f, p);
             AddressBook book = file.load().book;
             CardRecord card;
             card.name = Cp1252Text(std::string("Cy"));
             book.addEntry(0, card);
             return file.save(book).error;
         }},
        {"settings", settingsBytes(), settingsBytes().find("x_pos") + 2,
         [](FileStore&, const std::string& p) {
             return commsRecords(examinedSettings(p).loadComms(kHome));
         },
         [](FileStore&, const std::string& p) {
             SettingsStore store = examinedSettings(p);
             CommsSettings comms = store.loadComms(kHome);
             comms.outsideLinePrefix = "9";
             return store.storeComms(comms) ? 0 : EACCES;
         }},
    };
}

TEST(StoredFileFaults, ATruncatedFileKeepsWhatItHeldAndTakesTheNextRecord) {
    for (const StoreFamily& family : families()) {
        test::TempFolder home;
        PosixFileStore files;
        const std::string path = (home / "store.krl").string();
        test::writeText(path, family.goodBytes.substr(0, family.truncatedAt));
        const std::size_t before = family.loadCount(files, path);
        EXPECT_GE(before, 1u) << family.name;
        EXPECT_EQ(family.addOne(files, path), 0) << family.name;
        EXPECT_EQ(family.loadCount(files, path), before + 1) << family.name;
    }
}

// Made read-only by the user, or something other than a file standing in its place: nothing is
// written, nothing is left beside it, and a FIFO does not hold the program in open().
TEST(StoredFileFaults, AReadOnlyOrUnreadableFileIsNeverWrittenOver) {
    enum class Fault { ReadOnlyFile, Fifo, Folder };
    for (const StoreFamily& family : families()) {
        for (Fault fault : {Fault::ReadOnlyFile, Fault::Fifo, Fault::Folder}) {
            SCOPED_TRACE(family.name + " fault " + std::to_string(static_cast<int>(fault)));
            test::TempFolder home;
            PosixFileStore files;
            const std::string path = (home / "store.krl").string();
            switch (fault) {
                case Fault::ReadOnlyFile:
                    test::writeText(path, family.goodBytes);
                    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
                    EXPECT_EQ(family.loadCount(files, path), 2u);
                    break;
                case Fault::Fifo:
                    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
                    EXPECT_EQ(family.loadCount(files, path), 0u);
                    break;
                case Fault::Folder:
                    home.sub("store.krl");
                    EXPECT_EQ(family.loadCount(files, path), 0u);
                    break;
            }
            EXPECT_NE(family.addOne(files, path), 0);
            std::vector<std::string> expected;
            if (fault == Fault::ReadOnlyFile) {
                EXPECT_EQ(test::readText(path), family.goodBytes);
                expected.push_back("store.krl");
            }
            EXPECT_EQ(test::filesBelow(home.path()), expected);
        }
    }
}

TEST(StoredFileFaults, AnAddressBookThatCannotBeReadIsReportedNotShownEmpty) {
    test::TempFolder home;
    PosixFileStore files;
    const std::string path = home.sub("AddressBook.krl").string();
    EXPECT_EQ(AddressBookFile(files, path).load().message, kInvalidAddressBookMessage);
    EXPECT_EQ(AddressBookFile(files, (home / "none").string()).load().message, 0);
}

// The settings file is examined at start: what the user is told names the file, a damaged one
// is kept as it was beside it before the next store replaces it, and a file that cannot be
// read or written is the same after a store. Without write bits a file is read-only for root
// too, who can still read it.
TEST(StoredFileFaults, ASettingsFileThatCannotBeUsedIsToldByNameAndKept) {
    using namespace std::string_literals;
    const std::string good = settingsBytes();
    const bool root = ::geteuid() == 0;
    struct Case {
        std::string name;
        std::string bytes;
        mode_t mode;
        int message;
        bool modeAfterStart = false;  // set between examine() and the store, as at exit
    };
    for (const Case& c : {
             Case{"usable", good, 0644, 0},
             Case{"cut mid-line", good.substr(0, good.size() - 3), 0644, kSettingsDamagedMessage},
             Case{"garbage", "\x7f"s + "ELF\2\1\1\0\0\0=\n"s, 0644, kSettingsDamagedMessage},
             Case{"read-only", good, 0444, kSettingsReadOnlyMessage},
             Case{"no permission", good, 0000,
                  root ? kSettingsReadOnlyMessage : kSettingsUnreadableMessage},
             Case{"made read-only after start", good, 0444, 0, true},
         }) {
        SCOPED_TRACE(c.name);
        test::TempFolder home;
        const std::string path = (home / "Kestrelcall.ini").string();
        test::writeText(path, c.bytes);
        if (!c.modeAfterStart) {
            ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        }
        SettingsStore store(QString::fromStdString(path));
        const std::optional<Message> told = store.examine();
        if (c.modeAfterStart) {
            ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        }
        EXPECT_EQ(told ? told->id : 0, c.message);
        EXPECT_EQ(told ? *told->text : path, path);
        CommsSettings comms = store.loadComms(kHome);
        comms.outsideLinePrefix = "9";
        const bool stored = store.storeComms(comms);
        ::chmod(path.c_str(), 0644);
        EXPECT_EQ(stored,
                  !c.modeAfterStart && (c.message == 0 || c.message == kSettingsDamagedMessage));
        if (c.message == kSettingsDamagedMessage) {
            EXPECT_EQ(test::readText(path + SettingsStore::kDamagedSuffix), c.bytes);
        }
        if (!stored) {
            EXPECT_EQ(test::readText(path), c.bytes);
        } else {
            EXPECT_EQ(examinedSettings(path).loadComms(kHome).outsideLinePrefix, "9");
        }
    }
}

}  // namespace
}  // namespace krl
