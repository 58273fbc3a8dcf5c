// Port numbers of devices known by path: what the map assigns, keeps and hides.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/PortMap.h"
#include "link/PortNumbering.h"
#include "startup/ProfileFile.h"
#include "support/TempDir.h"

namespace mirvok::test {
namespace {

namespace fs = std::filesystem;

// A stand-in for /dev: device files, and a by-id folder of links to them.
class PortMapTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.File("Mirvok.ini");
    std::string byId = dir.File("by-id");

    PortMapTest() { fs::create_directory(byId); }

    std::string Device(const std::string& name) { return dir.Write(name, ""); }
    std::string ById(const std::string& name, const std::string& target) {
        const std::string path = byId + "/" + name;
        fs::remove(path);
        fs::create_symlink(target, path);
        return path;
    }
    // Lists the detected devices through a map loaded from the file, saves
    // what it recorded, and gives the numbers listed.
    std::vector<int> List(const std::vector<std::string>& devices) {
        std::vector<DetectedPort> detected;
        for (const std::string& path : devices)
            detected.push_back({path, StableDevicePath(path, byId), "", ""});
        PortMap map = PortMap::Load(ini);
        std::vector<int> numbers;
        for (const PortInfo& port : map.Update(detected)) numbers.push_back(port.number);
        EXPECT_TRUE(map.SaveAdded(ini));
        return numbers;
    }
    std::string Mapped(int port) { return ProfileFile::Load(ini).Get("Ports", "COM" + std::to_string(port)); }
};

TEST_F(PortMapTest, NewDevicesGetTheLowestFreeNumbersAndKeepThem) {
    ProfileFile file;
    file.Set("Comm", "Port", " 2");
    file.Set("Ports", "COM2", dir.File("absent"));  // mapped but absent: its number stays taken
    ASSERT_TRUE(file.Save(ini));
    const std::string s0 = Device("ttyS0"), usb0 = Device("ttyUSB0");

    EXPECT_EQ(List({usb0, s0}), (std::vector<int>{1, 3}));
    EXPECT_EQ(Mapped(1), s0) << "numbered in path order";
    EXPECT_EQ(Mapped(3), usb0);
    EXPECT_EQ(ProfileFile::Load(ini).Get("Comm", "Port"), "2") << "the rest of the file stays";
    EXPECT_EQ(List({s0, usb0}), (std::vector<int>{1, 3}));

    fs::remove(s0);
    EXPECT_EQ(List({usb0, Device("ttyUSB1")}), (std::vector<int>{3, 4})) << "COM1 stays ttyS0's";
}

TEST_F(PortMapTest, AdapterKeepsItsNumberInAnotherSocket) {
    const std::string usb0 = Device("ttyUSB0");
    ById("usb-Maker_Adapter_A1-if01-port0", usb0);
    const std::string link = ById("usb-Maker_Adapter_A1-if00-port0", usb0);
    EXPECT_EQ(List({usb0}), std::vector<int>{1});
    EXPECT_EQ(Mapped(1), link) << "the first by-id link in name order";

    fs::remove(usb0);
    const std::string usb1 = Device("ttyUSB1");
    ById("usb-Maker_Adapter_A1-if00-port0", usb1);
    EXPECT_EQ(List({usb1}), std::vector<int>{1});
    EXPECT_EQ(Mapped(2), "");
}

TEST_F(PortMapTest, AnyPathCanBeMappedByHand) {
    const std::string pty = Device("pts-7"), usb0 = Device("ttyUSB0");
    ProfileFile file;
    file.Set("Ports", "com9", pty);  // letter case does not matter; not detected, but there
    file.Set("Ports", "COM6", usb0);
    for (const char* bad : {"COM0", "COM257", "COM07", "COMx", "COM4"})
        file.Set("Ports", bad, bad == std::string("COM4") ? "" : usb0);
    ASSERT_TRUE(file.Save(ini));

    EXPECT_EQ(PortMap::Load(ini).Entries().size(), 2u);
    EXPECT_EQ(List({usb0}), (std::vector<int>{6, 9})) << "usb0 is known as COM6, not numbered again";
}

// A settings file that cannot be written (its folder is a file: no user
// writes there) leaves the numbers it could not store valid for the run.
TEST_F(PortMapTest, NumbersLiveOnWhenTheFileCannotBeWritten) {
    const std::string blocked = dir.Write("not-a-folder", "") + "/Mirvok.ini";
    const std::string usb0 = Device("ttyUSB0");
    PortNumbering numbering(blocked);
    ASSERT_EQ(numbering.List({{usb0, usb0, "adapter", ""}}).size(), 1u);
    EXPECT_EQ(numbering.PathOf(1), usb0) << "opening a listed port finds it";
    EXPECT_EQ(numbering.List({{usb0, usb0, "adapter", ""}}).front().number, 1) << "and it keeps its number";

    // Where the file can be written, the number is stored once.
    PortNumbering stored(ini);
    stored.List({{usb0, usb0, "", ""}});
    EXPECT_EQ(Mapped(1), usb0);
    EXPECT_EQ(PortNumbering(ini).PathOf(1), usb0);
}

}  // namespace
}  // namespace mirvok::test
