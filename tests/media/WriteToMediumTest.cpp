// The write pass: blocks, progress, write failures and their questions,
// cancellation, and restoring from an image file.

#include "media/WriteToMedium.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "media/Writer.h"
#include "shell/InterfaceCallback.h"
#include "tests/support/MemoryReader.h"

namespace {

const uint64_t B = kWriteBlockSize;

// Records the writes of a pass and fails those at the listed offsets.
class RecordingMedium : public MediumWriter {
 public:
  explicit RecordingMedium(uint64_t size) : bytes(size, 0xAA) { setSize(size); }
  bool write(uint64_t offset, const void* buffer, uint64_t size) override {
    writes += (writes.empty() ? "" : " ") + std::to_string(offset / B) + (size == B ? "" : "+" + std::to_string(size));
    for (uint64_t bad : failAt)
      if (bad == offset) return false;
    memcpy(bytes.data() + offset, buffer, size);
    return true;
  }
  std::vector<uint8_t> bytes;
  std::string writes;
  std::vector<uint64_t> failAt;
};

class RecordingProgress : public InterfaceCallback {
 public:
  void check() override {
    if (++checks > cancelAfter) throw InterruptedException();
  }
  void setText(int line, int channel, const std::string& text) override { texts += std::to_string(line) + ":" + text; }
  void setValue(int op, int channel, uint64_t value) override { positions += " " + std::to_string(value / B); }
  uint64_t checks = 0, cancelAfter = UINT64_MAX;
  std::string texts, positions;
};

// Fills each block with its number plus one.
class CountingWriter : public Writer {
 public:
  bool fill(uint64_t offset, uint64_t size, void* buffer) override {
    if (failAtCall == calls++) return false;
    memset(buffer, int(offset / B + 1), size);
    return true;
  }
  uint64_t calls = 0, failAtCall = UINT64_MAX;
};

std::string question(uint64_t offset, uint64_t size) {
  return "Cannot write to drive\n(offset: " + std::to_string(offset) + ", size: " + std::to_string(size) +
         ")\n\nDo you want to continue?";
}

}  // namespace

TEST(WritePass, BlocksOfTheRangeOnlyWithProgress) {
  RecordingMedium medium(10 * B);
  Writer zeros;
  ScriptedQuestions questions;
  RecordingProgress progress;
  ASSERT_TRUE(writeToMedium(zeros, &progress, questions, "Erasing", medium, B, 3 * B));
  for (uint64_t i = 0; i < medium.bytes.size(); ++i) ASSERT_EQ(i >= B && i < 4 * B ? 0 : 0xAA, medium.bytes[i]) << i;
  EXPECT_EQ("0:Erasing", progress.texts);
  EXPECT_EQ(3u, progress.checks);
  EXPECT_EQ(" 0 0 1 2 3", progress.positions);
  // A last short block, and blocks filled by the source.
  CountingWriter counting;
  RecordingMedium other(3 * B);
  ASSERT_TRUE(writeToMedium(counting, nullptr, questions, "x", other, 0, 2 * B + 100));
  EXPECT_EQ("0 1 2+100", other.writes);
  EXPECT_EQ(3, other.bytes[2 * B + 99]);
  EXPECT_EQ(0xAA, other.bytes[2 * B + 100]);
  // Nothing to write, or a range outside the medium.
  RecordingMedium small(4 * B);
  EXPECT_TRUE(writeToMedium(zeros, nullptr, questions, "t", small, 0, 0));
  EXPECT_FALSE(writeToMedium(zeros, nullptr, questions, "t", small, 3 * B, 2 * B));
  EXPECT_FALSE(writeToMedium(zeros, nullptr, questions, "t", small, UINT64_MAX - 10, 20));
  EXPECT_EQ("", small.writes);
  EXPECT_TRUE(questions.asked.empty());
}

TEST(WritePass, FailedBlocksAskAndTheAnswerDecides) {
  const struct {
    const char* what;
    std::vector<uint64_t> failAt;
    std::vector<int> answers;
    bool result;
    const char* writes;
    size_t questions;
  } cases[] = {
      {"yes goes on", {B, 3 * B}, {0, 0}, true, "0 1 2 3", 2},
      {"yes to all asks once", {0, 2 * B, 3 * B}, {Questions::Checked}, true, "0 1 2 3", 1},
      {"no stops there", {B, 3 * B}, {Questions::NotYes}, false, "0 1", 1},
      {"no with the box ticked still stops", {B}, {Questions::NotYes | Questions::Checked}, false, "0 1", 1},
  };
  for (const auto& c : cases) {
    RecordingMedium medium(4 * B);
    medium.failAt = c.failAt;
    CountingWriter source;
    ScriptedQuestions questions(c.answers);
    questions.fallback = Questions::NotYes;  // any further question stops the pass
    EXPECT_EQ(c.result, writeToMedium(source, nullptr, questions, "t", medium, 0, 4 * B)) << c.what;
    EXPECT_EQ(c.writes, medium.writes) << c.what;
    ASSERT_EQ(c.questions, questions.asked.size()) << c.what;
    EXPECT_EQ(question(c.failAt[0], B), questions.asked[0]) << c.what;
    EXPECT_EQ(Questions::Question, questions.kinds[0]);
  }
  // A bad range asks for the block it touches.
  MemoryReader memory(uint64_t(4 * B));
  FaultReader faulty(&memory, &memory);
  faulty.failRange(B + 100, 10);
  Writer zeros;
  ScriptedQuestions yes({0});
  EXPECT_TRUE(writeToMedium(zeros, nullptr, yes, "t", faulty, 0, 4 * B));
  EXPECT_EQ(std::vector<std::string>{question(B, B)}, yes.asked);
}

TEST(WritePass, ASourceFailureOrACancelEndsThePassWithoutAQuestion) {
  RecordingMedium medium(8 * B);
  CountingWriter source;
  source.failAtCall = 2;
  ScriptedQuestions questions;
  EXPECT_FALSE(writeToMedium(source, nullptr, questions, "t", medium, 0, 4 * B));
  EXPECT_EQ("0 1", medium.writes);
  for (uint64_t cancelAfter : {3, 0}) {
    RecordingMedium cancelled(8 * B);
    CountingWriter counting;
    RecordingProgress progress;
    progress.cancelAfter = cancelAfter;
    bool result = true;
    EXPECT_NO_THROW(result = writeToMedium(counting, &progress, questions, "t", cancelled, 0, 8 * B));
    EXPECT_FALSE(result);
    EXPECT_EQ(cancelAfter ? "0 1 2" : "", cancelled.writes);
  }
  EXPECT_TRUE(questions.asked.empty());
}

TEST(WritePass, AnImageShorterThanTheRangeStopsWithTheReadMessage) {
  FILE* f = tmpfile();
  std::vector<uint8_t> image(B + 500, 0x77);
  fwrite(image.data(), 1, image.size(), f);
  fflush(f);
  int fd = dup(fileno(f));
  fclose(f);
  lseek(fd, 0, SEEK_SET);
  RecordingMedium medium(4 * B);
  ScriptedQuestions questions;
  WriterFromFile source(&questions, fd);
  EXPECT_FALSE(writeToMedium(source, nullptr, questions, "Restoring Raw Data", medium, 0, 4 * B));
  EXPECT_EQ("0", medium.writes);
  EXPECT_EQ(0x77, medium.bytes[B - 1]);
  EXPECT_EQ(std::vector<std::string>{"Cannot read file\n(offset: 32768, size: 32768)"}, questions.asked);
  EXPECT_EQ(Questions::Error, questions.kinds[0]);
  close(fd);
}
