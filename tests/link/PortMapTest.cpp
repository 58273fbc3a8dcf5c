// Port numbers of devices known by path: what the map assigns, keeps and hides.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/PortMap.h"
#include "startup/ProfileFile.h"
#include "support/TempDir.h"

namespace mirvok::test {
namespace {

namespace fs = std::filesystem;

// A stand-in /dev: device "files" and a by-id folder of links to them.
class PortMapTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.File("Mirvok.ini");
    std::string byId = dir.File("by-id");

    PortMapTest() { fs::create_directory(byId); }

    std::string Device(const std::string& name) { return dir.Write(name, ""); }
    std::string Link(const std::string& name, const std::string& target) {
        const std::string path = byId + "/" + name;
        fs::remove(path);
        fs::create_symlink(target, path);
        return path;
    }
    DetectedPort Detected(const std::string& path) {
        return DetectedPort{path, StableDevicePath(path, byId), "desc " + fs::path(path).filename().string()};
    }
    static std::vector<int> Numbers(const std::vector<PortInfo>& ports) {
        std::vector<int> numbers;
        for (const PortInfo& port : ports) numbers.push_back(port.number);
        return numbers;
    }
};

TEST_F(PortMapTest, NewDevicesGetTheLowestFreeNumbersAndKeepThem) {
    ProfileFile file;
    file.Set("Comm", "Port", " 2");
    file.Set("Ports", "COM2", dir.File("absent"));  // mapped, absent now: number stays taken
    ASSERT_TRUE(file.Save(ini));
    const std::string s0 = Device("ttyS0");
    const std::string usb0 = Device("ttyUSB0");

    PortMap map = PortMap::Load(ini);
    const std::vector<PortInfo> present = map.Update({Detected(usb0), Detected(s0)});
    EXPECT_EQ(Numbers(present), (std::vector<int>{1, 3}));
    EXPECT_EQ(present[0].devicePath, s0) << "numbered in path order";
    EXPECT_EQ(present[0].description, "desc ttyS0");
    ASSERT_TRUE(map.SaveAdded(ini));

    const ProfileFile saved = ProfileFile::Load(ini);
    EXPECT_EQ(saved.Get("Ports", "COM1"), s0);
    EXPECT_EQ(saved.Get("Ports", "COM3"), usb0);
    EXPECT_EQ(saved.Get("Comm", "Port"), "2") << "the rest of the file stays";

    // Listed again, in the other order: the same numbers, nothing new recorded.
    PortMap again = PortMap::Load(ini);
    EXPECT_EQ(Numbers(again.Update({Detected(s0), Detected(usb0)})), (std::vector<int>{1, 3}));
    EXPECT_TRUE(again.Added().empty());

    // A device that went away is not listed, and its number is not given away.
    fs::remove(s0);
    const std::string usb1 = Device("ttyUSB1");
    PortMap later = PortMap::Load(ini);
    EXPECT_EQ(Numbers(later.Update({Detected(usb0), Detected(usb1)})), (std::vector<int>{3, 4}));
}

TEST_F(PortMapTest, AdapterKeepsItsNumberInAnotherSocket) {
    const std::string usb0 = Device("ttyUSB0");
    const std::string link = Link("usb-Maker_Adapter_A1-if00-port0", usb0);
    PortMap map = PortMap::Load(ini);
    EXPECT_EQ(Numbers(map.Update({Detected(usb0)})), std::vector<int>{1});
    EXPECT_EQ(map.PathOf(1), link);
    map.SaveAdded(ini);

    // Plugged into another socket it is ttyUSB1 now; its by-id link follows it.
    fs::remove(usb0);
    const std::string usb1 = Device("ttyUSB1");
    Link("usb-Maker_Adapter_A1-if00-port0", usb1);
    PortMap replugged = PortMap::Load(ini);
    const std::vector<PortInfo> present = replugged.Update({Detected(usb1)});
    EXPECT_EQ(Numbers(present), std::vector<int>{1});
    EXPECT_EQ(present[0].description, "desc ttyUSB1");
    EXPECT_TRUE(replugged.Added().empty());
}

TEST_F(PortMapTest, AnyPathCanBeMappedByHand) {
    const std::string pty = Device("pts-7");
    const std::string usb0 = Device("ttyUSB0");
    ProfileFile file;
    file.Set("Ports", "com9", pty);           // letter case does not matter
    file.Set("Ports", "COM5", dir.File("gone"));
    file.Set("Ports", "COM0", usb0);          // no such port numbers: passed over
    file.Set("Ports", "COM257", usb0);
    file.Set("Ports", "COM07", usb0);
    file.Set("Ports", "COMx", usb0);
    file.Set("Ports", "COM4", "");
    ASSERT_TRUE(file.Save(ini));

    PortMap map = PortMap::Load(ini);
    EXPECT_EQ(map.Entries().size(), 2u);
    const std::vector<PortInfo> present = map.Update({Detected(usb0)});
    EXPECT_EQ(Numbers(present), (std::vector<int>{1, 9})) << "a pty is listed though not detected";
    EXPECT_EQ(map.PathOf(9), pty);
    EXPECT_EQ(map.PathOf(4), "");

    // A device mapped by hand is known under that number and not numbered again.
    ProfileFile byHand = ProfileFile::Load(ini);
    byHand.Set("Ports", "COM6", usb0);
    ASSERT_TRUE(byHand.Save(ini));
    PortMap handMapped = PortMap::Load(ini);
    EXPECT_EQ(Numbers(handMapped.Update({Detected(usb0)})), (std::vector<int>{6, 9}));
    EXPECT_TRUE(handMapped.Added().empty());
}

TEST_F(PortMapTest, StablePathIsTheByIdLinkWhereOneExists) {
    const std::string usb0 = Device("ttyUSB0");
    const std::string s0 = Device("ttyS0");
    Link("usb-B-if00", usb0);
    const std::string first = Link("usb-A-if00", usb0);
    EXPECT_EQ(StableDevicePath(usb0, byId), first);
    EXPECT_EQ(StableDevicePath(s0, byId), s0);
    EXPECT_EQ(StableDevicePath(usb0, dir.File("no-such-folder")), usb0);
}

}  // namespace
}  // namespace mirvok::test
