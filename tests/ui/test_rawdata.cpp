// "Save a Card as a File" and "Restore a Saved Card File" through the menu
// actions: the bytes written, the questions asked, what is refused, and
// the closing box telling what happened.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "media/ReaderFile.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "tests/support/MemoryReader.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/RawDataCommands.h"
#include "ui/WindowBase.h"

using namespace wintest;

namespace {

class TestWindow : public WindowBase {
 public:
  TestWindow(ConfigRecord* media, FileCase* fileCase, ConfigRecord* config)
      : WindowBase(nullptr, media, fileCase, config, false) {}
  bool prepareMedia() override { return prepared; }
  bool prepared = true;
};

// A medium whose reads press Cancel in the progress box once the copy has
// passed `at`, as a user would in the middle of a save.
class CancellingReader : public MemoryReader {
 public:
  CancellingReader(std::vector<uint8_t> bytes, uint64_t at) : MemoryReader(std::move(bytes)), at_(at) {}
  bool read(uint64_t offset, void* buffer, uint64_t size) override {
    if (offset >= at_ && !pressed) pressed = cancelProgressBox();
    return MemoryReader::read(offset, buffer, size);
  }
  bool pressed = false;

 private:
  uint64_t at_;
};

// A writable medium that presses Cancel once the restore has passed `at`.
class CancellingMedium : public MemoryReader {
 public:
  CancellingMedium(uint64_t size, uint64_t at) : MemoryReader(size), at_(at) {}
  bool write(uint64_t offset, const void* buffer, uint64_t size) override {
    if (offset >= at_ && !pressed) pressed = cancelProgressBox();
    highest = std::max(highest, offset + size);
    return MemoryReader::write(offset, buffer, size);
  }
  bool pressed = false;
  uint64_t highest = 0;

 private:
  uint64_t at_;
};

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

class RawDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtkReady()) << "no display: run under xvfb-run";
    config.set("Program Path", MZK_APP_DIR);
    fileCase.reset(new FileCase(config, allFileSystems()));
  }
  void useMedium(Reader* reader) {
    fileCase->setReader(reader);
    window.reset(new TestWindow(&media, fileCase.get(), &config));
  }
  void activate(const char* name) {
    gtk_action_activate(gtk_action_group_get_action(window->actionGroup(), name));
  }
  ConfigRecord config;
  ConfigRecord media;
  std::unique_ptr<FileCase> fileCase;
  std::unique_ptr<TestWindow> window;
  TempFolder tmp;
};

}  // namespace

// ---- the name of the saved file ----

TEST(SaveName, MissingExtensionBecomesImg) {
  SaveName n = splitSaveName("/media/cards/card1");
  EXPECT_EQ(n.folder, "/media/cards");
  EXPECT_EQ(n.stem, "card1");
  EXPECT_EQ(n.extension, "img");
  EXPECT_EQ(n.path(), "/media/cards/card1.img");
}

TEST(SaveName, ExtensionIsKeptAndTwoDotsSplitAtTheLast) {
  EXPECT_EQ(splitSaveName("/x/card.raw").path(), "/x/card.raw");
  SaveName n = splitSaveName("/x/card.2024.bin");
  EXPECT_EQ(n.stem, "card.2024");
  EXPECT_EQ(n.extension, "bin");
  EXPECT_EQ(splitSaveName("/x/card.").path(), "/x/card.img");
}

TEST(SaveName, DotsInTheFolderDoNotCount) {
  SaveName n = splitSaveName("/home/a.b/card");
  EXPECT_EQ(n.folder, "/home/a.b");
  EXPECT_EQ(n.path(), "/home/a.b/card.img");
  EXPECT_EQ(splitSaveName("/card").path(), "/card.img");
}

// ---- saving a medium ----

TEST_F(RawDataTest, SavedRangeMatchesTheMediumByteForByte) {
  const std::string bytes = patternBytes(300000);
  useMedium(new MemoryReader(bytesOf(bytes)));
  std::vector<std::pair<double, double>> shown;
  DialogScript script;
  script.then("Save Raw Data", enterRange(1000, 200000, &shown))
      .then("Select Destination File", choose(tmp.file("part.raw")))
      .then("Information", respond(GTK_RESPONSE_REJECT));
  activate("SaveRawData");
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_EQ(shown[0], std::make_pair(0.0, 300000.0));  // the whole medium is proposed
  EXPECT_TRUE(contains(script.texts[2], "Complete")) << script.texts[2];
  EXPECT_EQ(readWhole(tmp.file("part.raw")), bytes.substr(1000, 200000));
}

TEST_F(RawDataTest, NameWithoutExtensionIsSavedAsImg) {
  const std::string bytes = patternBytes(70000, 2);
  useMedium(new MemoryReader(bytesOf(bytes)));
  DialogScript script;
  script.then("Save Raw Data", respond(GTK_RESPONSE_OK))
      .then("Select Destination File", choose(tmp.file("card")))
      .then("Information", respond(GTK_RESPONSE_REJECT));
  activate("SaveRawData");
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(readWhole(tmp.file("card.img")), bytes);
  EXPECT_FALSE(exists(tmp.file("card")));
}

TEST_F(RawDataTest, NameNextToAnExistingImageAsksAndNoKeepsIt) {
  writeWhole(tmp.file("card1.img"), "the first card");
  useMedium(new MemoryReader(bytesOf(patternBytes(5000))));
  DialogScript script;
  script.then("Save Raw Data", respond(GTK_RESPONSE_OK))
      .then("Select Destination File", choose(tmp.file("card1")))
      .then("Question", respond(GTK_RESPONSE_REJECT))
      .then("Select Destination File", respond(GTK_RESPONSE_CANCEL));
  activate("SaveRawData");
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_TRUE(contains(script.texts[2], "card1.img")) << script.texts[2];
  EXPECT_TRUE(contains(script.texts[2], "already exists"));
  EXPECT_EQ(readWhole(tmp.file("card1.img")), "the first card");
  EXPECT_FALSE(exists(tmp.file("card1-1.img")));
}

TEST_F(RawDataTest, NameNextToAnExistingImageAnsweredYesReplacesIt) {
  writeWhole(tmp.file("card1.img"), "the first card");
  const std::string bytes = patternBytes(40000, 3);
  useMedium(new MemoryReader(bytesOf(bytes)));
  DialogScript script;
  script.then("Save Raw Data", respond(GTK_RESPONSE_OK))
      .then("Select Destination File", choose(tmp.file("card1")))
      .then("Question", respond(GTK_RESPONSE_ACCEPT))
      .then("Information", respond(GTK_RESPONSE_REJECT));
  activate("SaveRawData");
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_EQ(readWhole(tmp.file("card1.img")), bytes);
  EXPECT_FALSE(exists(tmp.file("card1-1.img")));  // no stray second copy
}

TEST_F(RawDataTest, SaveOntoTheScannedImageIsRefused) {
  const std::string image = tmp.file("data.img");
  const std::string bytes = patternBytes(20000, 4);
  writeWhole(image, bytes);
  ReaderFile* reader = new ReaderFile;
  ASSERT_TRUE(reader->open(image.c_str()));
  useMedium(reader);
  // "data" becomes data.img - the medium itself - only after the chooser.
  DialogScript script;
  script.then("Save Raw Data", respond(GTK_RESPONSE_OK))
      .then("Select Destination File", choose(tmp.file("data")))
      .then("Error", respond(GTK_RESPONSE_REJECT))
      .then("Select Destination File", respond(GTK_RESPONSE_CANCEL));
  activate("SaveRawData");
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_TRUE(contains(script.texts[2], "lies on the media")) << script.texts[2];
  EXPECT_EQ(readWhole(image), bytes);
  EXPECT_TRUE(script.unexpected.empty());
}

TEST_F(RawDataTest, UnreadableBytesAreReportedNotCalledComplete) {
  const std::string bytes = patternBytes(64 * 1024, 5);
  MemoryReader inner(bytesOf(bytes));
  FaultReader* faulty = new FaultReader(&inner);
  faulty->failRange(8192, 1024);
  useMedium(faulty);
  DialogScript script;
  script.then("Save Raw Data", respond(GTK_RESPONSE_OK))
      .then("Select Destination File", choose(tmp.file("bad.img")))
      .then("Information", respond(GTK_RESPONSE_REJECT));
  activate("SaveRawData");
  ASSERT_TRUE(script.finished()) << script.handled.size();
  const std::string& summary = script.texts[2];
  EXPECT_FALSE(contains(summary, "Complete")) << summary;
  EXPECT_TRUE(contains(summary, "1024 bytes")) << summary;
  EXPECT_TRUE(contains(summary, "could not be read")) << summary;
  std::string expected = bytes;
  expected.replace(8192, 1024, std::string(1024, '\0'));
  EXPECT_EQ(readWhole(tmp.file("bad.img")), expected);
}

TEST_F(RawDataTest, CancelDuringTheSaveEndsWithoutBoxAndLeavesNoPartialImage) {
  CancellingReader* reader = new CancellingReader(bytesOf(patternBytes(1 << 20, 6)), 128 * 1024);
  useMedium(reader);
  DialogScript script;
  script.then("Save Raw Data", respond(GTK_RESPONSE_OK))
      .then("Select Destination File", choose(tmp.file("cut.img")));
  activate("SaveRawData");
  ASSERT_TRUE(script.finished());
  EXPECT_TRUE(reader->pressed);
  EXPECT_FALSE(exists(tmp.file("cut.img")));
  EXPECT_TRUE(script.unexpected.empty()) << script.unexpected[0];
}

TEST_F(RawDataTest, CancelInTheRangeDialogWritesNothing) {
  useMedium(new MemoryReader(bytesOf(patternBytes(1000))));
  DialogScript script;
  script.then("Save Raw Data", respond(GTK_RESPONSE_CANCEL));
  activate("SaveRawData");
  ASSERT_TRUE(script.finished());
  EXPECT_FALSE(exists(tmp.file("data.img")));
  EXPECT_TRUE(script.unexpected.empty());
}

TEST_F(RawDataTest, NothingHappensWhenNoMediumIsPrepared) {
  useMedium(new MemoryReader(bytesOf(patternBytes(1000))));
  window->prepared = false;
  DialogScript script;
  activate("SaveRawData");
  activate("RestoreRawData");
  EXPECT_TRUE(script.handled.empty());
  EXPECT_TRUE(script.unexpected.empty());
}

// ---- restoring an image ----

TEST_F(RawDataTest, RestoreWritesTheImageAtTheOffsetByteForByte) {
  const std::string image = patternBytes(50000, 7);
  writeWhole(tmp.file("saved.img"), image);
  MemoryReader* medium = new MemoryReader(uint64_t(100000));
  useMedium(medium);
  std::vector<std::pair<double, double>> shown;
  DialogScript script;
  script.then("Select Source File", choose(tmp.file("saved.img")))
      .then("Restore Raw Data", enterRange(1000, 50000, &shown))
      .then("Question", respond(GTK_RESPONSE_ACCEPT));
  activate("RestoreRawData");
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_EQ(shown[0], std::make_pair(0.0, 50000.0));  // the whole file is proposed
  EXPECT_TRUE(contains(script.texts[2], "Data on this drive will be lost!"));
  const std::vector<uint8_t>& b = medium->bytes();
  EXPECT_EQ(std::string(b.begin(), b.begin() + 1000), std::string(1000, '\0'));
  EXPECT_EQ(std::string(b.begin() + 1000, b.begin() + 51000), image);
  EXPECT_EQ(std::string(b.begin() + 51000, b.end()), std::string(49000, '\0'));
  EXPECT_TRUE(script.unexpected.empty());  // and no closing box
}

TEST_F(RawDataTest, RestoreRangePastTheMediumIsAskedAgainWithWhatFits) {
  writeWhole(tmp.file("saved.img"), patternBytes(50000, 8));
  MemoryReader* medium = new MemoryReader(uint64_t(60000));
  useMedium(medium);
  std::vector<std::pair<double, double>> shown;
  DialogScript script;
  script.then("Select Source File", choose(tmp.file("saved.img")))
      .then("Restore Raw Data", enterRange(20000, 50000))
      .then("Restore Raw Data", noteRange(&shown, GTK_RESPONSE_OK))
      .then("Question", respond(GTK_RESPONSE_ACCEPT));
  activate("RestoreRawData");
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(shown[0], std::make_pair(20000.0, 40000.0));
  const std::string image = readWhole(tmp.file("saved.img"));
  const std::vector<uint8_t>& b = medium->bytes();
  EXPECT_EQ(std::string(b.begin() + 20000, b.end()), image.substr(0, 40000));
}

TEST_F(RawDataTest, RestoreAnsweredNoLeavesTheMediumAlone) {
  writeWhole(tmp.file("saved.img"), patternBytes(5000, 9));
  MemoryReader* medium = new MemoryReader(uint64_t(8000));
  useMedium(medium);
  DialogScript script;
  script.then("Select Source File", choose(tmp.file("saved.img")))
      .then("Restore Raw Data", respond(GTK_RESPONSE_OK))
      .then("Question", respond(GTK_RESPONSE_REJECT));
  activate("RestoreRawData");
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(medium->bytes(), std::vector<uint8_t>(8000, 0));
}

TEST_F(RawDataTest, RestoreCancelStopsTheWritePassWithoutMessage) {
  writeWhole(tmp.file("big.img"), patternBytes(4 << 20, 10));
  CancellingMedium* medium = new CancellingMedium(4 << 20, 256 * 1024);
  useMedium(medium);
  DialogScript script;
  script.then("Select Source File", choose(tmp.file("big.img")))
      .then("Restore Raw Data", respond(GTK_RESPONSE_OK))
      .then("Question", respond(GTK_RESPONSE_ACCEPT));
  activate("RestoreRawData");
  ASSERT_TRUE(script.finished());
  ASSERT_TRUE(medium->pressed);
  // The pass stopped within a block or two of the press; the rest is untouched.
  EXPECT_LT(medium->highest, uint64_t(256 * 1024 + 3 * 32768));
  const std::vector<uint8_t>& b = medium->bytes();
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + (1 << 20), b.end()),
            std::vector<uint8_t>((4 << 20) - (1 << 20), 0));
  EXPECT_TRUE(script.unexpected.empty());
}

TEST_F(RawDataTest, RestoreOntoAMediumThatCannotBeWrittenEndsSilently) {
  writeWhole(tmp.file("scanned.img"), patternBytes(4096, 11));
  ReaderFile* reader = new ReaderFile;
  ASSERT_TRUE(reader->open(tmp.file("scanned.img").c_str()));
  useMedium(reader);
  DebugLogCapture log;
  DialogScript script;
  activate("RestoreRawData");
  EXPECT_TRUE(script.handled.empty());
  EXPECT_TRUE(script.unexpected.empty());
  EXPECT_EQ(log.text(), "WindowBase(487)\n");
}
