// mzk-recover on a card image built from real JPEG photos: every
// sector-aligned photo comes back byte-exact, listed, filtered and reported,
// and the medium is never written.

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/CarveImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

// Built once: six photos (one with an EXIF thumbnail), a truncated and a
// corrupt JPEG among sectors of noise.
struct Card {
  Card() {
    const char* recipes[][2] = {
        {"rose.jpg", "rose: -resize 600x400! -quality 92"},
        {"exif.jpg", "rose: -resize 400x300! -quality 90"},
        {"logo.jpg", "logo: -resize 480x360! -quality 88"},
        {"plasma.jpg", "-seed 7 -size 320x240 plasma:fractal -quality 90"},
        {"progressive.jpg", "logo: -resize 400x300! -interlace Plane -quality 85"},
        {"gray.jpg", "rose: -colorspace Gray -quality 75"},
    };
    for (auto& recipe : recipes)
      if (!sh(std::string("convert ") + recipe[1] + " " + quote(dir.file(recipe[0])))) return;
    // A camera-like photo with an EXIF block holding a JPEG thumbnail.
    sh("convert rose: -thumbnail 80x60 " + quote(dir.file("thumb.jpg")) + " && exiftool -q -overwrite_original " +
       "-Make=TestCam '-ThumbnailImage<=" + dir.file("thumb.jpg") + "' " + quote(dir.file("exif.jpg")));
    CarveImage card;
    card.pad(40);
    unsigned gap = 3;
    for (auto& recipe : recipes) {
      card.add(recipe[0], readFile(dir.file(recipe[0])), gap);
      gap = gap * 3 % 17 + 1;
    }
    photos = card.files();
    std::string plasma = readFile(dir.file("plasma.jpg")), corrupt = readFile(dir.file("logo.jpg"));
    card.add("truncated.jpg", plasma.substr(0, plasma.size() / 2), 5);
    for (size_t i = corrupt.size() / 3; i < corrupt.size() / 3 + 4096; ++i) corrupt[i] = char((i * 7919) >> 3);
    card.add("corrupt.jpg", corrupt, 9);
    card.pad(64);
    damaged.assign(card.files().begin() + photos.size(), card.files().end());
    image = dir.file("card.img");
    writeFile(image, card.bytes());
  }
  static std::string recoveredName(const CarveImage::Placed& p) {
    return std::to_string(p.offset) + "-" + std::to_string(p.bytes.size()) + ".jpeg";
  }
  TempDir dir;
  std::vector<CarveImage::Placed> photos;
  std::vector<CarveImage::Placed> damaged;  // the truncated and the corrupt photo
  std::string image;
};

Card* card = nullptr;

class EndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { card = new Card; }
  static void TearDownTestSuite() {
    delete card;
    card = nullptr;
  }
  void SetUp() override {
    if (card->image.empty()) GTEST_SKIP() << "ImageMagick (convert) is needed to build the card";
  }
  TempDir work;
};

// The values between `open` and `close`, in order.
std::vector<std::string> xmlValues(const std::string& xml, const std::string& open, const std::string& close) {
  std::vector<std::string> values;
  for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at)) {
    at += open.size();
    values.push_back(xml.substr(at, xml.find(close, at) - at));
  }
  return values;
}

}  // namespace

TEST_F(EndToEnd, EveryPhotoComesBackByteExactWithAReportThatMatchesAndTheMediumIsUntouched) {
  std::string before = readFile(card->image), out = work.file("out"), report = work.file("report.xml");
  struct stat st;
  ASSERT_EQ(0, stat(card->image.c_str(), &st));
  ToolResult r = runRecover({"-o", out, "--report", report, "--stats", card->image});
  ASSERT_EQ(0, r.status) << r.err;
  for (const auto& photo : card->photos)
    EXPECT_TRUE(readFile(out + "/" + Card::recoveredName(photo)) == photo.bytes) << photo.name;
  // Written as the scan passed them: the medium was read once, and nothing
  // written ahead is left under another name.
  size_t times = r.err.rfind(" times its size)");
  ASSERT_NE(std::string::npos, times) << r.err;
  EXPECT_LT(std::stod(r.err.substr(r.err.rfind('(', times) + 1)), 1.05) << r.err;
  for (const std::string& name : namesIn(out)) EXPECT_NE('.', name[0]) << name;
  EXPECT_NE(std::string::npos, r.err.find("recovered "));
  EXPECT_EQ(std::string::npos, r.err.find("files found")) << "no progress line on a pipe";
  EXPECT_EQ("", r.out);

  std::string xml = readFile(report);
  EXPECT_TRUE(validatesAsDfxml(report)) << xml.substr(0, 400);
  EXPECT_NE(std::string::npos, xml.find("<image_filename>" + card->image + "</image_filename>"));
  std::vector<std::string> names = xmlValues(xml, "<filename>", "</filename>");
  std::vector<std::string> sizes = xmlValues(xml, "<filesize>", "</filesize>");
  std::vector<std::string> md5s = xmlValues(xml, "<hashdigest type=\"md5\">", "</hashdigest>");
  std::vector<std::string> offsets = xmlValues(xml, "img_offset=\"", "\"");
  std::vector<std::string> lengths = xmlValues(xml, " len=\"", "\"");
  ASSERT_EQ(namesIn(out).size(), names.size());
  ASSERT_EQ(names.size(), md5s.size());
  ASSERT_EQ(names.size(), offsets.size()) << "one run per signature hit";
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(shOutput("md5sum < " + quote(out + "/" + names[i])).substr(0, 32), md5s[i]) << names[i];
    EXPECT_EQ(names[i].substr(0, names[i].find('-')), offsets[i]);
    EXPECT_EQ(sizes[i], lengths[i]);
  }
  struct stat after;
  ASSERT_EQ(0, stat(card->image.c_str(), &after));
  EXPECT_TRUE(readFile(card->image) == before);
  EXPECT_EQ(st.st_mtime, after.st_mtime);
}

TEST_F(EndToEnd, ListIsOneLinePerFileInMediumOrderAndFollowsTheFilters) {
  ToolResult r = runRecover({"--list", card->image}, work.path());
  ASSERT_EQ(0, r.status) << r.err;
  size_t next = 0;
  uint64_t previous = 0;
  for (const auto& row : listRows(r.out)) {
    ASSERT_EQ(8u, row.size()) << row[0];
    uint64_t offset = std::stoull(row[0]);
    // A damaged photo's sound beginning comes after the walk's files.
    if (row[6] == "partial") {
      auto of = std::find_if(card->damaged.begin(), card->damaged.end(),
                             [&](const CarveImage::Placed& d) { return d.offset == offset; });
      ASSERT_NE(of, card->damaged.end()) << offset;
      EXPECT_LT(std::stoull(row[1]), of->bytes.size());
      continue;
    }
    EXPECT_GE(offset, previous);
    previous = offset;
    EXPECT_EQ((std::vector<std::string>{"jpeg", "0", "0", "-1", "-", ""}), std::vector<std::string>(row.begin() + 2, row.end()));
    if (next < card->photos.size() && offset == card->photos[next].offset) {
      EXPECT_EQ(std::to_string(card->photos[next++].bytes.size()), row[1]);
    }
  }
  EXPECT_EQ(card->photos.size(), next) << "every photo is listed, in order";
  EXPECT_TRUE(namesIn(work.path()).empty()) << "--list writes nothing";

  const CarveImage::Placed* smallest = &card->photos[0];
  for (const auto& p : card->photos)
    if (p.bytes.size() < smallest->bytes.size()) smallest = &p;
  std::string limit = std::to_string(smallest->bytes.size() + 1);
  EXPECT_EQ("", runRecover({"--list", "--types", "png,gif", card->image}).out);
  EXPECT_EQ("", runRecover({"--list", "--min-size", "1G", card->image}).out);
  std::string big = runRecover({"--list", "--types", "PNG,Jpeg", "--min-size", limit, card->image}).out;
  for (const auto& p : card->photos)
    EXPECT_EQ(&p != smallest, big.find(std::to_string(p.offset) + "\t") != std::string::npos) << p.name;
}

TEST_F(EndToEnd, TheSameListFromADeviceAConfigFolderAndWithADebugLog) {
  std::string list = runRecover({"--list", card->image}).out;
  // A configuration folder with the pattern files and a scan buffer of one
  // sector.
  TempDir config;
  for (const char* name : {"Scanner.cfg", "FsScanner.cfg"})
    writeFile(config.file(name), readFile(std::string(MZK_APP_DIR) + "/" + name));
  writeFile(config.file("mzk.cfg"), "# test\nScan Buffer Size: 512\nProgram Path: /elsewhere\n");
  EXPECT_EQ(list, runRecover({"--config-dir", config.path(), "--list", card->image}).out);
  TempDir empty;
  EXPECT_EQ(1, runRecover({"--config-dir", empty.path(), "--list", card->image}).status);
  // The debug log goes where it is asked and changes nothing else.
  EXPECT_EQ(std::string::npos, runRecover({"--list", card->image}).err.find("main(20)"));
  ToolResult dbg = runRecover({"--list", "dbg=stderr", card->image});
  EXPECT_NE(std::string::npos, dbg.err.find("main(20): mzk (revision")) << dbg.err.substr(0, 200);
  EXPECT_EQ(list, dbg.out);
  ASSERT_EQ(0, runRecover({"--list", "--debug-log", work.file("debug.log"), card->image}).status);
  EXPECT_NE(std::string::npos, readFile(work.file("debug.log")).find("main(20)"));
  // A block device of the image.
  if (getuid() != 0 || !haveTool("losetup")) return;
  std::string loop = shOutput("losetup -r -f --show " + quote(card->image) + " 2>/dev/null");
  loop = loop.substr(0, loop.find('\n'));
  if (loop.compare(0, 9, "/dev/loop") != 0) return;
  ToolResult fromDevice = runRecover({"--list", loop});
  ToolResult recovered = runRecover({"-o", work.file("out"), loop});
  sh("losetup -d " + loop);
  EXPECT_EQ(list, fromDevice.out);
  EXPECT_EQ(0, recovered.status) << recovered.err;
  for (const auto& photo : card->photos)
    EXPECT_TRUE(readFile(work.file("out/" + Card::recoveredName(photo))) == photo.bytes) << photo.name;
}

TEST_F(EndToEnd, TheDefaultFolderAndASecondRunThatKeepsBothCopies) {
  ToolResult r = runRecover({card->image}, work.path());
  ASSERT_EQ(0, r.status) << r.err;
  std::string out = work.file("recovered");
  size_t first = namesIn(out).size();
  ASSERT_GE(first, card->photos.size());
  ASSERT_EQ(0, runRecover({"-o", out, card->image}).status);
  EXPECT_EQ(2 * first, namesIn(out).size());
  const auto& rose = card->photos[0];
  EXPECT_TRUE(readFile(out + "/" + Card::recoveredName(rose)) == rose.bytes);
  std::string again = std::to_string(rose.offset) + "-" + std::to_string(rose.bytes.size()) + "-1.jpeg";
  EXPECT_TRUE(readFile(out + "/" + again) == rose.bytes);
}

TEST_F(EndToEnd, AProgressLineOnlyOnATerminal) {
  if (!haveTool("script")) GTEST_SKIP() << "script(1) is needed for a terminal";
  std::string typescript =
      shOutput("script -qec \"" + recoverProgram() + " --list '" + card->image + "'\" /dev/null 2>&1");
  EXPECT_NE(std::string::npos, typescript.find("files found")) << typescript.substr(0, 300);
  EXPECT_NE(std::string::npos, typescript.find("MB/s"));
}
