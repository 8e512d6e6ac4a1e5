// Whole exFAT images scanned the way the program scans a card (the file
// case with the program's pattern files and runScan), every found file
// read back through FileCase::readerFor.  Images come from mkfs.exfat and
// the test writer, which places every cluster on purpose; one card is
// filled through the real exfat-fuse driver.  Sleuthkit is the independent
// reader.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "engine/FileCase.h"
#include "engine/ScanRun.h"
#include "filesystems/FileSystems.h"
#include "shell/Config.h"
#include "tests/support/ExfatImage.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

struct Scanned {
  explicit Scanned(const std::string& image) : fileCase((config.set("Program Path", MZK_APP_DIR), config), allFileSystems()) {
    fileCase.setReader(new MemoryReader(image.data(), image.size()));
    runScan(fileCase, config, nullptr);
  }
  const FileModule::File* byName(const std::string& name) const {
    for (const auto& key : fileCase.order())
      if (fileCase.findFile(key)->attributes.getString("fn") == name) return fileCase.findFile(key);
    return nullptr;
  }
  std::string readBack(const FileModule::File& file) {
    Reader* r = fileCase.readerFor(file);
    std::string out(file.size, '\0');
    return r && r->read(0, &out[0], file.size) ? out : "(unreadable)";
  }
  ConfigRecord config;
  FileCase fileCase;
};

struct Expected {
  std::string name, bytes;
  bool deleted, fragmented;
};

// A card with a photo, a fragmented file, deleted files (one whose cluster
// went to another file since), a folder with a long Unicode name in it, a
// damaged set, a looping chain and folders that point back up the tree.
std::vector<Expected> fillCard(ExfatImage& image, const std::string& photo) {
  const uint32_t root = image.rootCluster();
  std::vector<uint32_t> c = image.freeClusters(64);
  size_t n = 1;
  auto take = [&](size_t count) {
    n += count;
    return std::vector<uint32_t>(c.begin() + n - count, c.begin() + n);
  };
  std::string notes = noise(10000, 1), gone = noise(6000, 2), fresh = noise(3000, 4), inDir = noise(4500, 5),
              goneInDir = noise(700, 6);
  image.add(root, {u"DCIM", 0, true, true}, "", {c[0]});
  ExfatSetSpec photoSpec{u"Holiday photo.jpg"};
  photoSpec.utcOffset = 0x80;  // UTC
  image.add(root, photoSpec, photo, take((photo.size() + 4095) / 4096));
  std::vector<uint32_t> spread = take(6), reused = take(2);
  image.add(root, {u"notes.txt", 0, false}, notes, {spread[3], spread[0], spread[5]});
  image.erase(image.add(root, {u"gone.txt"}, gone, take(2)));
  image.erase(image.add(root, {u"reused.txt"}, noise(5000, 3), reused));
  image.add(root, {u"new.txt"}, fresh, {reused[1]});
  image.add(c[0], {u"Ünïcödé 😀 holiday notes.txt"}, inDir, take(2));
  image.erase(image.add(c[0], {u"gone in DCIM.txt"}, goneInDir, take(1)));
  image.link(c[0], {u"up", 0, true, true}, root);
  image.link(c[0], {u"self", 0, true, true}, c[0]);
  image.bytes()[image.add(root, {u"bad.txt"}, noise(100, 7), take(1)).at + 70] ^= 1;
  ExfatSetSpec partly{u"partly written.txt"};
  partly.validLength = 5000;  // the rest of the file reads as zeros, whatever its clusters hold
  image.add(root, partly, noise(9000, 9), take(3));
  std::vector<uint32_t> loop = take(3);
  image.add(root, {u"loop.txt", 0, false}, noise(20000, 8), loop);
  image.setFat(loop[2], loop[0]);
  return {{"Holiday photo.jpg", photo, false, false},       {"notes.txt", notes, false, true},
          {"gone.txt", gone, true, false},                   {"new.txt", fresh, false, false},
          {u8"Ünïcödé 😀 holiday notes.txt", inDir, false, false}, {"gone in DCIM.txt", goneInDir, true, false},
          {"partly written.txt", noise(9000, 9).substr(0, 5000) + std::string(4000, '\0'), false, false}};
}

std::string makePhoto(const TempDir& dir) {
  return sh("convert -size 160x120 gradient:red-blue " + quote(dir.file("p.jpg"))) ? readFile(dir.file("p.jpg")) : "";
}

}  // namespace

// The same card intact, with its main boot sector gone (the backup region
// opens it), and with the root's first sector gone (the sector walk meets
// DCIM; without the bitmap's entry no deleted file is trusted).
TEST(ExfatScan, NamedFilesComeBackFromIntactAndDamagedCards) {
  TempDir dir;
  std::string photo = makePhoto(dir);
  const std::vector<std::string> refused = {"reused.txt", "bad.txt", "loop.txt"};
  const struct {
    const char* what;
    int64_t zeroAt;  // -1: nothing; else a cluster (0: the boot sector)
    std::vector<std::string> lost;
  } cases[] = {
      {"intact", -1, refused},
      {"boot sector zeroed", 0, refused},
      {"root zeroed", 1, {"Holiday photo.jpg", "notes.txt", "gone.txt", "new.txt", "gone in DCIM.txt", "partly written.txt"}},
  };
  for (const auto& c : cases) {
    ExfatImage image(dir.file("card.img"), 16, 4096);
    ASSERT_TRUE(image.ok() && !photo.empty()) << "needs exfatprogs and ImageMagick";
    std::vector<Expected> expected = fillCard(image, photo);
    if (c.zeroAt >= 0) image.bytes().replace(c.zeroAt ? image.offsetOfCluster(image.rootCluster()) : 0, 512, 512, '\0');
    image.save();
    Scanned scan(image.bytes());
    ASSERT_EQ(1u, scan.fileCase.volumeCount()) << c.what << ": the backup region opens no second volume";
    EXPECT_EQ(0u, scan.fileCase.volume(0)->start()) << c.what;
    for (const std::string& name : c.lost) EXPECT_EQ(nullptr, scan.byName(name)) << c.what << ": " << name;
    for (const Expected& e : expected) {
      const FileModule::File* f = scan.byName(e.name);
      if (std::find(c.lost.begin(), c.lost.end(), e.name) != c.lost.end()) continue;
      ASSERT_NE(nullptr, f) << c.what << ": " << e.name;
      EXPECT_EQ(e.bytes.size(), f->size) << e.name;
      EXPECT_EQ(e.deleted, f->attributes.getBool("deleted", !e.deleted)) << e.name;
      EXPECT_EQ(e.fragmented, f->attributes.getBool("fragmented", !e.fragmented)) << e.name;
      EXPECT_EQ(0, f->attributes.getInt32("fs", -1)) << e.name;
      EXPECT_TRUE(scan.readBack(*f) == e.bytes) << c.what << ": " << e.name << ": bytes differ";
    }
    if (c.zeroAt >= 0) continue;
    EXPECT_EQ("jpeg", scan.byName("Holiday photo.jpg")->attributes.getString("t"));
    EXPECT_EQ(1719824400, scan.byName("Holiday photo.jpg")->attributes.getInt32("time", 0));
    std::string fls = shOutput("fls -r -p " + quote(dir.file("card.img")) + " 2>/dev/null");
    EXPECT_NE(std::string::npos, fls.find(u8"DCIM/Ünïcödé 😀 holiday notes.txt")) << fls;
    size_t notes = fls.find(":\tnotes.txt"), space = fls.rfind(' ', notes);
    ASSERT_NE(std::string::npos, notes) << fls;
    EXPECT_TRUE(shOutput("icat " + quote(dir.file("card.img")) + " " + fls.substr(space + 1, notes - space - 1)) ==
                expected[1].bytes);
  }
}

// The real driver: fill a card, delete every other file, write one larger
// than the holes (spread over them) and a Unicode name in a folder, which
// take the holes in turn; the last hole stays free.
TEST(ExfatScan, CardFilledByTheExfatFuseDriver) {
  TempDir dir;
  std::string path = dir.file("fuse.img"), mount = dir.file("mnt");
  if (geteuid() != 0 || !haveTool("mount.exfat-fuse")) GTEST_SKIP() << "needs root and exfat-fuse";
  ASSERT_TRUE(sh("(truncate -s 32M " + quote(path) + " && mkfs.exfat -c 4096 " + quote(path) + " && mkdir " + quote(mount) + ")"));
  std::string loop = shOutput("losetup -f --show " + quote(path) + " 2>/dev/null");
  loop.erase(loop.find_last_not_of('\n') + 1);
  struct Detach {
    std::string loop, mount;
    ~Detach() { sh("umount " + quote(mount) + "; losetup -d " + quote(loop)); }
  } detach{loop, mount};
  if (loop.empty() || !sh("mount.exfat-fuse " + quote(loop) + " " + quote(mount))) GTEST_SKIP() << "cannot mount here";
  std::map<std::string, std::string> files;
  std::string erase = "rm";
  for (int i = 0; i < 14; ++i) {
    std::string name = "file" + std::to_string(i) + ".txt";
    writeFile(mount + "/" + name, files[name] = noise(9000, 20 + i));
    if (i % 2) erase += " " + quote(mount + "/" + name);
  }
  ASSERT_TRUE(sh(erase));
  writeFile(mount + "/big.txt", files["big.txt"] = noise(60000, 40));
  std::string unicode = u8"Übersicht der Fotos – Sommer 2025.txt";
  ASSERT_TRUE(sh("mkdir " + quote(mount + "/Fotos")));
  writeFile(mount + "/Fotos/" + unicode, files[unicode] = noise(3000, 41));
  ASSERT_TRUE(sh("umount " + quote(mount)));

  Scanned scan(readFile(path));
  size_t live = 0, deleted = 0;
  for (const auto& key : scan.fileCase.order()) {
    const FileModule::File* f = scan.fileCase.findFile(key);
    std::string name = f->attributes.getString("fn");
    EXPECT_TRUE(files.count(name) && scan.readBack(*f) == files[name]) << name << ": bytes differ";
    (f->attributes.getBool("deleted", false) ? deleted : live) += 1;
  }
  EXPECT_EQ(9u, live) << "seven files, the big one and the Unicode one";
  EXPECT_EQ(1u, deleted) << "the one in the hole left free";
  ASSERT_NE(nullptr, scan.byName("big.txt"));
  EXPECT_TRUE(scan.byName("big.txt")->attributes.getBool("fragmented", false));
}
