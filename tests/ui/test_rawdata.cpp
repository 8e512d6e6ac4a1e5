// "Save a Card as a File" and "Restore a Saved Card File" through the menu
// actions: the bytes written, the questions asked, what is refused, and
// the closing box telling what happened.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "media/ReaderFile.h"
#include "media/WriteToMedium.h"
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

// A medium whose user presses Cancel in the progress box when a pass
// reaches block `at`: at a known point, however fast or slow the machine.
class CancellingMedium : public MemoryReader {
 public:
  CancellingMedium(std::vector<uint8_t> bytes, uint64_t at) : MemoryReader(std::move(bytes)), at_(at) {}
  bool read(uint64_t offset, void* buffer, uint64_t size) override {
    press(offset);
    return MemoryReader::read(offset, buffer, size);
  }
  bool write(uint64_t offset, const void* buffer, uint64_t size) override {
    press(offset);
    highest = std::max(highest, offset + size);
    return MemoryReader::write(offset, buffer, size);
  }
  bool pressed = false;
  uint64_t highest = 0;

 private:
  void press(uint64_t offset) {
    if (offset < at_ * kWriteBlockSize || pressed) return;
    GtkWidget* box = shownWindow("Please Wait");
    pressed = box != nullptr;
    if (box) gtk_button_clicked(GTK_BUTTON(stockButton(box, GTK_STOCK_CANCEL)));
    EXPECT_TRUE(pressed) << "no progress box during the pass";
  }
  uint64_t at_;
};

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

class RawDataTest : public WindowTest {
 protected:
  void useMedium(Reader* reader) {
    fileCase->setReader(reader);
    window.reset(new TestWindow(&media, fileCase.get(), &config));
    window->setLastFolder(tmp.path());
  }
  void run(const char* action, const DialogScript& script) { runAction(*window, action, script); }
  std::unique_ptr<TestWindow> window;
};

}  // namespace

TEST(SaveName, TheLastDotOfTheBaseNameStartsTheExtensionImgWhenNone) {
  const struct {
    const char *chosen, *folder, *stem, *path;
  } cases[] = {{"/media/cards/card1", "/media/cards", "card1", "/media/cards/card1.img"},
               {"/x/card.raw", "/x", "card", "/x/card.raw"},
               {"/x/card.2024.bin", "/x", "card.2024", "/x/card.2024.bin"},
               {"/x/card.", "/x", "card", "/x/card.img"},
               {"/home/a.b/card", "/home/a.b", "card", "/home/a.b/card.img"},
               {"/card", "", "card", "/card.img"}};
  for (const auto& c : cases) {
    SaveName n = splitSaveName(c.chosen);
    EXPECT_EQ(n.folder + "|" + n.stem + "|" + n.path(), std::string(c.folder) + "|" + c.stem + "|" + c.path);
  }
}

TEST_F(RawDataTest, SavedRangeMatchesTheMediumByteForByte) {
  const std::string bytes = patternBytes(300000);
  useMedium(new MemoryReader(bytesOf(bytes)));
  std::vector<std::pair<double, double>> shown;
  DialogScript script;
  script.then("Save Raw Data", enterRange(1000, 200000, &shown))
      .then("Select Destination File", choose(tmp.file("part.raw")))
      .then("Information", respond(GTK_RESPONSE_REJECT));
  run("SaveRawData", script);
  EXPECT_EQ(shown[0], std::make_pair(0.0, 300000.0));  // the whole medium is proposed
  EXPECT_NE(script.texts[2].find("Complete"), std::string::npos) << script.texts[2];
  EXPECT_EQ(readWhole(tmp.file("part.raw")), bytes.substr(1000, 200000));
}

TEST_F(RawDataTest, AnImageOfTheSameNameIsReplacedOnlyAfterYes) {
  const std::string bytes = patternBytes(40000, 3);
  useMedium(new MemoryReader(bytesOf(bytes)));
  const struct {
    bool existing;
    int answer;  // to "already exists"; 0: not asked
    std::string result;
  } cases[] = {{false, 0, bytes}, {true, GTK_RESPONSE_REJECT, "the first card"}, {true, GTK_RESPONSE_ACCEPT, bytes}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    TempFolder folder;
    if (c.existing) writeWhole(folder.file("card1.img"), "the first card");
    DialogScript script;
    // "card1" becomes card1.img only after the chooser, which saw no clash.
    script.then("Save Raw Data", respond(GTK_RESPONSE_OK)).then("Select Destination File", choose(folder.file("card1")));
    if (c.answer) script.then("Question", respond(c.answer));
    if (c.answer == GTK_RESPONSE_REJECT) script.then("Select Destination File", respond(GTK_RESPONSE_CANCEL));
    else script.then("Information", respond(GTK_RESPONSE_REJECT));
    run("SaveRawData", script);
    EXPECT_EQ(script.texts[2].find("card1.img already exists") != std::string::npos, c.answer != 0);
    EXPECT_EQ(readWhole(folder.file("card1.img")), c.result);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"card1.img"});  // no stray copy, no "card1"
  }
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
  run("SaveRawData", script);
  EXPECT_NE(script.texts[2].find("lies on the media"), std::string::npos) << script.texts[2];
  EXPECT_EQ(readWhole(image), bytes);
}

TEST_F(RawDataTest, UnreadableBytesAreWrittenAsZerosAndCounted) {
  const std::string bytes = patternBytes(64 * 1024, 5);
  MemoryReader inner(bytesOf(bytes));
  FaultReader* faulty = new FaultReader(&inner);
  faulty->failRange(8192, 1024);
  useMedium(faulty);
  DialogScript script;
  script.then("Save Raw Data", respond(GTK_RESPONSE_OK))
      .then("Select Destination File", choose(tmp.file("bad.img")))
      .then("Information", respond(GTK_RESPONSE_REJECT));
  run("SaveRawData", script);
  EXPECT_EQ(script.texts[2].find("Complete"), std::string::npos) << script.texts[2];
  EXPECT_NE(script.texts[2].find("1024 bytes"), std::string::npos) << script.texts[2];
  std::string expected = bytes;
  expected.replace(8192, 1024, std::string(1024, '\0'));
  EXPECT_EQ(readWhole(tmp.file("bad.img")), expected);
}

TEST_F(RawDataTest, CommandsEndedEarlyWriteNothing) {
  // Cancel in the range dialog; Cancel in the progress box of the copy,
  // which leaves no part of an image; no medium at all.
  CancellingMedium* medium = new CancellingMedium(bytesOf(patternBytes(1 << 20, 6)), 4);
  useMedium(medium);
  DialogScript range;
  range.then("Save Raw Data", respond(GTK_RESPONSE_CANCEL));
  run("SaveRawData", range);
  DialogScript cut;
  cut.then("Save Raw Data", respond(GTK_RESPONSE_OK)).then("Select Destination File", choose(tmp.file("cut.img")));
  run("SaveRawData", cut);
  EXPECT_TRUE(medium->pressed);
  window->prepared = false;
  DialogScript none;
  run("SaveRawData", none);
  run("RestoreRawData", none);
  EXPECT_TRUE(none.handled.empty());
  EXPECT_TRUE(tmp.names().empty());
}

TEST_F(RawDataTest, RestoreWritesTheChosenRangeOfTheImageAfterTheWarning) {
  const std::string image = patternBytes(50000, 7);
  writeWhole(tmp.file("saved.img"), image);
  const struct {
    uint64_t medium;
    double offset, size;
    bool again;  // past the medium: asked again with what fits
    int answer;
    size_t at, length;
  } cases[] = {{100000, 1000, 50000, false, GTK_RESPONSE_ACCEPT, 1000, 50000},
               {60000, 20000, 50000, true, GTK_RESPONSE_ACCEPT, 20000, 40000},
               {8000, 0, 5000, false, GTK_RESPONSE_REJECT, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.medium);
    MemoryReader* medium = new MemoryReader(c.medium);
    useMedium(medium);
    std::vector<std::pair<double, double>> shown;
    DialogScript script;
    script.then("Select Source File", choose(tmp.file("saved.img")))
        .then("Restore Raw Data", enterRange(c.offset, c.size, &shown));
    if (c.again) script.then("Restore Raw Data", enterRange(-1, -1, &shown));
    script.then("Question", respond(c.answer));
    run("RestoreRawData", script);  // no closing box
    EXPECT_EQ(shown[0], std::make_pair(0.0, 50000.0));  // the whole file is proposed
    if (c.again) {
      EXPECT_EQ(shown[1], std::make_pair(c.offset, double(c.length)));
    }
    EXPECT_NE(script.texts.back().find("Data on this drive will be lost!"), std::string::npos);
    std::string expected(c.medium, '\0');
    expected.replace(c.at, c.length, image.substr(0, c.length));
    EXPECT_TRUE(std::string(medium->bytes().begin(), medium->bytes().end()) == expected);
  }
}

TEST_F(RawDataTest, RestoreStopsAtTheBlockWhereCancelWasPressed) {
  writeWhole(tmp.file("big.img"), patternBytes(1 << 20, 10));
  CancellingMedium* medium = new CancellingMedium(std::vector<uint8_t>(1 << 20), 8);
  useMedium(medium);
  DialogScript script;
  script.then("Select Source File", choose(tmp.file("big.img")))
      .then("Restore Raw Data", respond(GTK_RESPONSE_OK))
      .then("Question", respond(GTK_RESPONSE_ACCEPT));
  run("RestoreRawData", script);
  ASSERT_TRUE(medium->pressed);
  // The block under way is finished, the next one never starts.
  EXPECT_EQ(medium->highest, 9 * kWriteBlockSize);
  const std::vector<uint8_t>& b = medium->bytes();
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 9 * kWriteBlockSize, b.end()),
            std::vector<uint8_t>((1 << 20) - 9 * kWriteBlockSize, 0));
}

TEST_F(RawDataTest, RestoreOntoAMediumThatCannotBeWrittenAsksNothing) {
  writeWhole(tmp.file("scanned.img"), patternBytes(4096, 11));
  ReaderFile* reader = new ReaderFile;
  ASSERT_TRUE(reader->open(tmp.file("scanned.img").c_str()));
  useMedium(reader);
  DialogScript script;
  run("RestoreRawData", script);
  EXPECT_TRUE(script.handled.empty());
}
