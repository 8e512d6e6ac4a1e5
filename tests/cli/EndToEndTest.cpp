// mzk-recover on a card image built from real JPEG photos: every
// sector-aligned photo comes back byte-exact, listed, filtered and reported.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <sstream>

#include "tests/cli/CliSupport.h"
#include "tests/support/Tools.h"

namespace {

struct Photo {
  std::string name;
  std::string bytes;
  uint64_t offset = 0;
};

// Built once: the photos, a truncated and a corrupt JPEG among random
// sectors.
class CardFixture {
 public:
  CardFixture() {
    if (!haveTool("convert")) return;
    const char* recipes[][2] = {
        {"rose.jpg", "rose: -resize 3000x2000! -quality 92"},
        {"logo.jpg", "logo: -resize 2400x1800! -quality 88"},
        {"plasma.jpg", "-seed 7 -size 2400x1600 plasma:fractal -quality 90"},
        {"progressive.jpg", "logo: -resize 1200x900! -interlace Plane -quality 85"},
        {"gray.jpg", "rose: -colorspace Gray -quality 75"},
    };
    for (auto& recipe : recipes) {
      std::string path = dir.file(recipe[0]);
      if (!shell(std::string("convert ") + recipe[1] + " '" + path + "'")) return;
    }
    // A camera-like photo with an EXIF block holding a JPEG thumbnail.
    std::string exif = dir.file("exif.jpg");
    if (!shell("convert rose: -resize 1600x1200! -quality 90 '" + exif + "'")) return;
    if (haveTool("exiftool") && shell("convert '" + exif + "' -thumbnail 160x120 '" + dir.file("thumb.jpg") + "'"))
      shell("exiftool -q -overwrite_original -Make=TestCam '-ThumbnailImage<=" + dir.file("thumb.jpg") + "' '" +
            exif + "'");
    hasExifThumbnail = shellOutput("exiftool -b -ThumbnailImage '" + exif + "' | head -c 2 | od -An -tx1").find("ff d8") !=
                       std::string::npos;

    CardImage card;
    card.addRandomSectors(40);
    unsigned gap = 3;
    for (const char* name : {"rose.jpg", "exif.jpg", "logo.jpg", "plasma.jpg", "progressive.jpg", "gray.jpg"}) {
      Photo photo;
      photo.name = name;
      photo.bytes = readFile(dir.file(name));
      photo.offset = card.add(name, photo.bytes, gap);
      photos.push_back(photo);
      gap = gap * 3 % 17 + 1;
    }
    std::string plasma = readFile(dir.file("plasma.jpg"));
    damaged.push_back(card.add("truncated.jpg", plasma.substr(0, plasma.size() / 2), 5));
    std::string corrupt = readFile(dir.file("logo.jpg"));
    for (size_t i = corrupt.size() / 3; i < corrupt.size() / 3 + 4096; ++i)
      corrupt[i] = static_cast<char>((i * 7919) >> 3);
    damaged.push_back(card.add("corrupt.jpg", corrupt, 9));
    card.addRandomSectors(64);
    image = dir.file("card.img");
    ready = card.write(image);
  }

  std::string recoveredName(const Photo& p) const {
    return std::to_string(p.offset) + "-" + std::to_string(p.bytes.size()) + ".jpeg";
  }

  CliTempDir dir;
  std::vector<Photo> photos;
  std::vector<uint64_t> damaged;  // offsets of the truncated and the corrupt photo
  std::string image;
  bool ready = false;
  bool hasExifThumbnail = false;
};

CardFixture* card = nullptr;

class EndToEndTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!card) card = new CardFixture;
  }
  static void TearDownTestSuite() {
    delete card;
    card = nullptr;
  }
  void SetUp() override {
    if (!card->ready) GTEST_SKIP() << "ImageMagick (convert) is needed to build the card";
  }
  CliTempDir work;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

// The values of `attribute="..."` or of <tag>...</tag> in order.
std::vector<std::string> xmlValues(const std::string& xml, const std::string& open, const std::string& close) {
  std::vector<std::string> values;
  for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at)) {
    at += open.size();
    size_t end = xml.find(close, at);
    if (end == std::string::npos) break;
    values.push_back(xml.substr(at, end - at));
  }
  return values;
}

}  // namespace

TEST_F(EndToEndTest, EveryPhotoIsRecoveredByteExact) {
  std::string out = work.file("out");
  ToolResult r = runRecover({"-o", out, card->image});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names = namesIn(out);
  for (const auto& photo : card->photos) {
    std::string path = out + "/" + card->recoveredName(photo);
    ASSERT_EQ(access(path.c_str(), F_OK), 0) << photo.name << " missing; have " << names.size() << " files";
    EXPECT_EQ(sha256Of(path), sha256Of(card->dir.file(photo.name))) << photo.name;
  }
  EXPECT_NE(r.err.find("recovered "), std::string::npos);
  // Nothing but progress-free messages on a pipe.
  EXPECT_EQ(r.err.find("files found"), std::string::npos);
  EXPECT_TRUE(r.out.empty());
}

TEST_F(EndToEndTest, PhotoWithAnExifThumbnailComesBackWhole) {
  if (!card->hasExifThumbnail) GTEST_SKIP() << "exiftool could not embed a thumbnail";
  std::string out = work.file("out");
  ToolResult r = runRecover({"-o", out, card->image});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto& exif = card->photos[1];
  ASSERT_EQ(exif.name, "exif.jpg");
  EXPECT_EQ(readFile(out + "/" + card->recoveredName(exif)), exif.bytes);
}

TEST_F(EndToEndTest, ListPrintsOneTabSeparatedLinePerFileInTheOrderFound) {
  ToolResult r = runRecover({"--list", card->image}, work.path());
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> got = lines(r.out);
  ASSERT_GE(got.size(), card->photos.size());
  size_t next = 0;
  uint64_t previous = 0;
  std::vector<uint64_t> partial;
  for (const std::string& line : got) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) fields.push_back(field);
    if (line.back() == '\t') fields.push_back("");
    ASSERT_EQ(fields.size(), 8u) << line;
    uint64_t offset = std::stoull(fields[0]);
    // The damaged photos' sound beginnings come after the walk's files.
    if (fields[6] == "partial") {
      partial.push_back(offset);
      continue;
    }
    EXPECT_GE(offset, previous) << "signature hits come in medium order";
    previous = offset;
    EXPECT_EQ(fields[2], "jpeg");
    EXPECT_EQ(fields[3], "0");
    EXPECT_EQ(fields[4], "0");
    EXPECT_EQ(fields[5], "-1");
    EXPECT_EQ(fields[6], "-");
    EXPECT_EQ(fields[7], "");
    if (next < card->photos.size() && offset == card->photos[next].offset) {
      EXPECT_EQ(std::stoull(fields[1]), card->photos[next].bytes.size()) << card->photos[next].name;
      ++next;
    }
  }
  EXPECT_EQ(next, card->photos.size()) << "every photo is listed, in order";
  EXPECT_EQ(partial, card->damaged);
  EXPECT_NE(access(work.file("recovered").c_str(), F_OK), 0) << "--list writes nothing";
}

TEST_F(EndToEndTest, DefaultFolderIsRecoveredInTheWorkingFolder) {
  ToolResult r = runRecover({card->image}, work.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(access(work.file("recovered/" + card->recoveredName(card->photos[0])).c_str(), F_OK), 0);
}

TEST_F(EndToEndTest, SecondRunIntoTheSameFolderKeepsBothCopies) {
  std::string out = work.file("out");
  ASSERT_EQ(runRecover({"-o", out, card->image}).status, 0);
  size_t first = namesIn(out).size();
  ToolResult r = runRecover({"-o", out, card->image});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(namesIn(out).size(), 2 * first);
  const auto& rose = card->photos[0];
  std::string again = std::to_string(rose.offset) + "-" + std::to_string(rose.bytes.size()) + "-1.jpeg";
  EXPECT_EQ(readFile(out + "/" + again), rose.bytes);
  EXPECT_EQ(readFile(out + "/" + card->recoveredName(rose)), rose.bytes);
}

TEST_F(EndToEndTest, TypesAndMinimumSizeChooseTheFiles) {
  ToolResult none = runRecover({"-o", work.file("png"), "--types", "png,gif", card->image});
  EXPECT_EQ(none.status, 0) << none.err;
  EXPECT_TRUE(namesIn(work.file("png")).empty());

  const Photo* smallest = &card->photos[0];
  for (const auto& p : card->photos)
    if (p.bytes.size() < smallest->bytes.size()) smallest = &p;
  std::string limit = std::to_string(smallest->bytes.size() + 1);
  ToolResult big = runRecover({"-o", work.file("big"), "--types", "PNG,Jpeg", "--min-size", limit, card->image});
  EXPECT_EQ(big.status, 0) << big.err;
  for (const auto& p : card->photos) {
    bool present = access((work.file("big") + "/" + card->recoveredName(p)).c_str(), F_OK) == 0;
    EXPECT_EQ(present, &p != smallest) << p.name;
  }
  ToolResult listed = runRecover({"--list", "--min-size", limit, card->image});
  EXPECT_EQ(listed.out.find(std::to_string(smallest->offset) + "\t"), std::string::npos);
  EXPECT_EQ(runRecover({"--list", "--min-size", "1G", card->image}).out, "");
}

TEST_F(EndToEndTest, ReportIsValidDfxmlWhoseHashesAndRunsMatchTheFiles) {
  std::string out = work.file("out");
  std::string report = work.file("report.xml");
  ToolResult r = runRecover({"-o", out, "--report", report, card->image});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string xml = readFile(report);
  EXPECT_TRUE(mzktest::validatesAsDfxml(report)) << xml.substr(0, 400);
  EXPECT_NE(xml.find("<dfxml xmlns=\"http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML\""),
            std::string::npos);
  EXPECT_NE(xml.find("<image_filename>" + card->image + "</image_filename>"), std::string::npos);
  std::vector<std::string> names = xmlValues(xml, "<filename>", "</filename>");
  std::vector<std::string> sizes = xmlValues(xml, "<filesize>", "</filesize>");
  std::vector<std::string> md5s = xmlValues(xml, "<hashdigest type=\"md5\">", "</hashdigest>");
  std::vector<std::string> offsets = xmlValues(xml, "img_offset=\"", "\"");
  std::vector<std::string> lengths = xmlValues(xml, " len=\"", "\"");
  ASSERT_EQ(names.size(), namesIn(out).size());
  ASSERT_EQ(md5s.size(), names.size());
  ASSERT_EQ(offsets.size(), names.size()) << "one run per signature hit";
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(md5s[i], md5Of(out + "/" + names[i])) << names[i];
    // Names are offset-size.type: the run starts at that offset and spans the file.
    EXPECT_EQ(names[i].substr(0, names[i].find('-')), offsets[i]);
    EXPECT_EQ(lengths[i], sizes[i]);
  }
}

TEST_F(EndToEndTest, ProgressLineAppearsOnlyOnATerminal) {
  if (!haveTool("script")) GTEST_SKIP() << "script(1) is needed for a terminal";
  std::string command = recoverProgram() + " --list '" + card->image + "'";
  std::string typescript = shellOutput("script -qec \"" + command + "\" /dev/null 2>&1");
  EXPECT_NE(typescript.find("files found"), std::string::npos) << typescript.substr(0, 300);
  EXPECT_NE(typescript.find("MB/s"), std::string::npos);
  ToolResult piped = runRecover({"--list", card->image});
  EXPECT_EQ(piped.err.find("MB/s"), std::string::npos);
}

TEST_F(EndToEndTest, TheMediumIsNeverWritten) {
  std::string before = sha256Of(card->image);
  struct stat st;
  ASSERT_EQ(stat(card->image.c_str(), &st), 0);
  ASSERT_EQ(runRecover({"-o", work.file("out"), "--report", work.file("r.xml"), card->image}).status, 0);
  struct stat after;
  ASSERT_EQ(stat(card->image.c_str(), &after), 0);
  EXPECT_EQ(sha256Of(card->image), before);
  EXPECT_EQ(after.st_mtime, st.st_mtime);
  EXPECT_EQ(after.st_size, st.st_size);
}

TEST_F(EndToEndTest, BlockDeviceGivesTheSameFilesAsItsImage) {
  if (getuid() != 0 || !haveTool("losetup")) GTEST_SKIP() << "needs root and losetup";
  std::string loop = shellOutput("losetup -r -f --show '" + card->image + "' 2>/dev/null");
  while (!loop.empty() && loop.back() == '\n') loop.pop_back();
  if (loop.compare(0, 9, "/dev/loop") != 0) GTEST_SKIP() << "no loop device";
  ToolResult fromDevice = runRecover({"--list", loop});
  ToolResult recovered = runRecover({"-o", work.file("out"), loop});
  shell("losetup -d '" + loop + "'");
  ToolResult fromImage = runRecover({"--list", card->image});
  EXPECT_EQ(fromDevice.status, 0) << fromDevice.err;
  EXPECT_EQ(fromDevice.out, fromImage.out);
  EXPECT_EQ(recovered.status, 0) << recovered.err;
  for (const auto& photo : card->photos)
    EXPECT_EQ(readFile(work.file("out/" + card->recoveredName(photo))), photo.bytes) << photo.name;
}

TEST_F(EndToEndTest, DebugLogGoesWhereItIsAsked) {
  ToolResult quiet = runRecover({"--list", card->image});
  EXPECT_EQ(quiet.err.find("main(20)"), std::string::npos);
  ToolResult dbg = runRecover({"--list", "dbg=stderr", card->image});
  EXPECT_EQ(dbg.status, 0);
  EXPECT_NE(dbg.err.find("main(20): mzk (revision"), std::string::npos) << dbg.err.substr(0, 200);
  EXPECT_EQ(dbg.out, quiet.out);
  std::string log = work.file("debug.log");
  ToolResult toFile = runRecover({"--list", "--debug-log", log, card->image});
  EXPECT_EQ(toFile.status, 0);
  EXPECT_NE(readFile(log).find("main(20)"), std::string::npos);
}

TEST_F(EndToEndTest, ProgramConfigurationIsReadFromTheConfigFolder) {
  // A copy of the program folder's pattern files with a configuration of
  // its own: a scan buffer of one sector still finds every photo.
  CliTempDir config;
  for (const char* name : {"Scanner.cfg", "FsScanner.cfg"})
    writeFile(config.file(name), readFile(std::string(MZK_APP_DIR) + "/" + name));
  writeFile(config.file("mzk.cfg"), "# test\nScan Buffer Size: 512\nProgram Path: /elsewhere\n");
  ToolResult r = runRecover({"--config-dir", config.path(), "--list", card->image});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, runRecover({"--list", card->image}).out);
  // Without the pattern files there, nothing is scanned.
  CliTempDir empty;
  EXPECT_EQ(runRecover({"--config-dir", empty.path(), "--list", card->image}).status, 1);
}
