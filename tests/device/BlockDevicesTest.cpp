// The device list from sysfs: fake trees for each bus, the records and the
// bus filter, and a real loop device.

#include "device/BlockDevices.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "device/DeviceRecords.h"
#include "tests/support/LoopDevice.h"
#include "tests/support/TempDir.h"

namespace {

// A disk in a fake sysfs tree: `chain` is its device's path below
// devices/; `files` are written below devices/, a value "@x" making a
// symbolic link to a folder named x (as "subsystem" and "driver" are).
struct FakeDisk {
  std::string name;
  std::string chain;
  std::map<std::string, std::string> files;
  uint64_t sectors = 2048;
};

void addDisk(const mzktest::TempDir& sys, const FakeDisk& disk) {
  const std::string devices = sys.path() + "/devices/";
  const std::string block = devices + disk.chain + "/block/" + disk.name;
  ASSERT_TRUE(mzktest::shell("mkdir -p " + block + "/queue " + sys.path() + "/block"));
  ASSERT_EQ(symlink(block.c_str(), (sys.path() + "/block/" + disk.name).c_str()), 0);
  ASSERT_EQ(symlink((devices + disk.chain).c_str(), (block + "/device").c_str()), 0);
  sys.write("devices/" + disk.chain + "/block/" + disk.name + "/size", std::to_string(disk.sectors) + "\n");
  sys.write("devices/" + disk.chain + "/block/" + disk.name + "/dev", "8:0\n");
  sys.write("devices/" + disk.chain + "/block/" + disk.name + "/queue/logical_block_size", "512\n");
  for (const auto& file : disk.files) {
    const std::string path = devices + file.first;
    ASSERT_TRUE(mzktest::shell("mkdir -p $(dirname '" + path + "')"));
    if (file.second[0] == '@')
      ASSERT_EQ(symlink(("/bus/" + file.second.substr(1)).c_str(), path.c_str()), 0);
    else
      sys.write("devices/" + file.first, file.second + "\n");
  }
}

struct BusCase {
  FakeDisk disk;
  std::string bus, model, serial, parent, location;
};

}  // namespace

TEST(DeviceList, EachBusIsNamedWithItsDetailsAndParent) {
  const std::string usb = "pci0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0";
  const std::string ata = "pci0/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0";
  const std::string mmc = "pci0/0000:02:00.0/mmc_host/mmc0/mmc0:aaaa";
  const std::vector<BusCase> cases = {
      {{"sdb", usb,
        {{usb + "/subsystem", "@scsi"}, {usb + "/vendor", "Generic "}, {usb + "/model", "STORAGE DEVICE"},
         {"pci0/usb1/1-2/1-2:1.0/subsystem", "@usb"}, {"pci0/usb1/1-2/subsystem", "@usb"},
         {"pci0/usb1/1-2/idVendor", "0bda"}, {"pci0/usb1/1-2/manufacturer", "Realtek"},
         {"pci0/usb1/1-2/product", "USB3.0-CRW"}, {"pci0/usb1/1-2/busnum", "1"}, {"pci0/usb1/1-2/devpath", "2"},
         {"pci0/usb1/1-2/serial", "20120501030900000"}}},
       "USB", "STORAGE DEVICE", "20120501030900000", "Realtek USB3.0-CRW", "USB bus 1, port 2"},
      {{"mmcblk0", mmc,
        {{mmc + "/subsystem", "@mmc"}, {mmc + "/type", "SD"}, {mmc + "/name", "SD16G"}, {mmc + "/serial", "0x1234abcd"},
         {"pci0/0000:02:00.0/driver", "@sdhci-pci"}}},
       "SD", "SD16G", "0x1234abcd", "sdhci-pci", "0000:02:00.0"},
      {{"mmcblk1", mmc, {{mmc + "/subsystem", "@mmc"}, {mmc + "/type", "MMC"}}}, "MMC", "", "", "", ""},
      {{"nvme0n1", "pci0/0000:3d:00.0/nvme/nvme0",
        {{"pci0/0000:3d:00.0/nvme/nvme0/subsystem", "@nvme"}, {"pci0/0000:3d:00.0/nvme/nvme0/model", "Fast SSD"},
         {"pci0/0000:3d:00.0/driver", "@nvme"}}},
       "NVMe", "Fast SSD", "", "nvme", "0000:3d:00.0"},
      {{"sda", ata, {{ata + "/subsystem", "@scsi"}, {ata + "/model", "ST1000"}, {"pci0/0000:00:1f.2/driver", "@ahci"}}},
       "ATA", "ST1000", "", "ahci", "0000:00:1f.2"},
      {{"sdc", "pci0/host2/target2:0:0/2:0:0:0", {{"pci0/host2/target2:0:0/2:0:0:0/subsystem", "@scsi"}}},
       "SCSI", "", "", "", ""},
      {{"vdb", "pci0/virtio3", {{"pci0/virtio3/subsystem", "@virtio"}, {"pci0/virtio3/vendor", "0x1af4"}}},
       "Virtio", "", "", "", ""},
  };
  for (const BusCase& c : cases) {
    mzktest::TempDir sys;
    addDisk(sys, c.disk);
    std::vector<DeviceInfo> list = listDevices(sys.path(), "/fake");
    ASSERT_EQ(list.size(), 1u) << c.disk.name;
    const DeviceInfo& d = list[0];
    EXPECT_EQ(d.busType, c.bus) << c.disk.name;
    EXPECT_EQ(d.model, c.model) << c.disk.name;
    EXPECT_EQ(d.serial, c.serial) << c.disk.name;
    EXPECT_EQ(d.parentDescription, c.parent) << c.disk.name;
    EXPECT_EQ(d.parentLocation, c.location) << c.disk.name;
    EXPECT_EQ(d.node, "/fake/" + c.disk.name);
    EXPECT_EQ(d.size, 2048u * 512);
  }
}

TEST(DeviceList, EmptyReadersAndVirtualDisksAreLeftOutAndPartitionsListed) {
  mzktest::TempDir sys;
  const std::string chain = "pci0/host2/target2:0:0/2:0:0:0";
  FakeDisk reader{"sdd", "pci0/host3/target3:0:0/3:0:0:0", {}, 0};  // no card in it
  FakeDisk card{"sde", chain, {{chain + "/subsystem", "@scsi"}, {chain + "/block/sde/sde1/partition", "1"},
                               {chain + "/block/sde/sde1/dev", "8:65"}, {chain + "/block/sde/sde1/start", "2048"},
                               {chain + "/block/sde/sde1/size", "1000"}}};
  addDisk(sys, reader);
  addDisk(sys, card);
  ASSERT_TRUE(mzktest::shell("mkdir -p " + sys.path() + "/block/zram0"));
  sys.write("block/zram0/size", "100000\n");
  std::vector<DeviceInfo> list = listDevices(sys.path(), "/fake");
  ASSERT_EQ(list.size(), 1u);
  ASSERT_EQ(list[0].partitions.size(), 1u);
  EXPECT_EQ(list[0].partitions[0].node, "/fake/sde1");
  EXPECT_EQ(list[0].partitions[0].start, 2048u * 512);
  EXPECT_EQ(list[0].partitions[0].size, 1000u * 512);
  ConfigRecord record = deviceRecord(list[0]);
  EXPECT_EQ(record.getString("File"), "/fake/sde");
  EXPECT_EQ(record.getString("Partitions"), "/fake/sde1");
  EXPECT_FALSE(record.has("Model"));
}

TEST(DeviceList, BusFilterComparesExactPieces) {
  const struct {
    const char* allowed;
    const char* bus;
    bool kept;
  } cases[] = {{"ALL", "ATA", true}, {"USB", "USB", true}, {"USB", "SD", false}, {"USB,SD", "SD", true},
               {"USB, SD", "SD", false}, {"usb", "USB", false}, {"1394,USB,SD,MMC", "Loop", false}};
  for (const auto& c : cases) EXPECT_EQ(busAllowed(c.allowed, c.bus), c.kept) << c.allowed << " " << c.bus;
}

TEST(DeviceList, LoopDeviceIsListedWithSizeSectorSizeAndItsImage) {
  mzktest::TempDir dir;
  const std::string image = dir.path() + "/card.img";
  ASSERT_TRUE(mzktest::shell("truncate -s 3M " + image));
  mzktest::LoopDevice loop(image);
  MZK_SKIP_WITHOUT_LOOP(loop);
  for (const DeviceInfo& d : listDevices()) {
    if (d.node != loop.node()) continue;
    EXPECT_EQ(d.busType, "Loop");
    EXPECT_EQ(d.size, 3u << 20);
    EXPECT_EQ(d.sectorSize, 512u);
    EXPECT_EQ(d.parentDescription, image);
    return;
  }
  ADD_FAILURE() << loop.node() << " is not listed";
}
