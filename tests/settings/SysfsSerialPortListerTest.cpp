#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fakes/TempFolder.h"
#include "platform/posix/SysfsSerialPortLister.h"

namespace krl {
namespace {

namespace fs = std::filesystem;

// A /sys/class/tty and /dev of its own: ttyS0 with a UART, ttyS1 without one, a USB adapter
// with its descriptors, an ACM modem whose /dev node is gone, and a console that is no port.
TEST(SysfsSerialPortLister, ListsPortsThatAnswerWithTheirDescriptions) {
    const test::TempFolder folder;
    const fs::path& root = folder.path();
    const fs::path sys = root / "sys/class/tty";
    const fs::path dev = root / "dev";
    const fs::path usb = root / "sys/devices/usb1/1-1";
    fs::create_directories(usb / "1-1:1.0/ttyUSB0");
    fs::create_directories(dev);
    auto write = [](const fs::path& p, const std::string& text) {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text << "\n";
    };
    write(sys / "ttyS0/type", "4");
    write(sys / "ttyS1/type", "0");
    write(usb / "product", "FT232R USB UART");
    write(usb / "manufacturer", "FTDI");
    fs::create_directories(sys / "ttyUSB0");
    fs::create_directory_symlink(usb / "1-1:1.0/ttyUSB0", sys / "ttyUSB0/device");
    fs::create_directories(sys / "ttyACM0");
    fs::create_directories(sys / "tty1");
    for (const char* node : {"ttyS0", "ttyS1", "ttyUSB0", "tty1"})
        write(dev / node, "");

    const std::vector<PortChoice> expected = {
        {(dev / "ttyS0").string(), "UART type 4"},
        {(dev / "ttyUSB0").string(), "FTDI FT232R USB UART"},
    };
    EXPECT_EQ(SysfsSerialPortLister(sys.string(), dev.string()).devices(), expected);
    EXPECT_TRUE(SysfsSerialPortLister((root / "nothing").string(), dev.string()).devices().empty());
}

}  // namespace
}  // namespace krl
