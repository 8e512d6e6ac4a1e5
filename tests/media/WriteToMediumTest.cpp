// The write pass: blocks, progress, write failures and their questions,
// cancellation, and restoring from an image file.

#include "media/WriteToMedium.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "media/Writer.h"
#include "shell/InterfaceCallback.h"
#include "tests/support/MemoryReader.h"

namespace {

// Records the writes a pass makes, and fails the listed block offsets.
class RecordingMedium : public MediumWriter {
 public:
  explicit RecordingMedium(uint64_t size) : bytes(size, 0xAA) { setSize(size); }
  bool write(uint64_t offset, const void* buffer, uint64_t size) override {
    writes.push_back({offset, size});
    for (uint64_t bad : failAt)
      if (bad == offset) return false;
    if (!Reader::fits(offset, size, bytes.size())) return false;
    memcpy(bytes.data() + offset, buffer, size);
    return true;
  }
  std::vector<uint8_t> bytes;
  std::vector<std::pair<uint64_t, uint64_t>> writes;
  std::vector<uint64_t> failAt;
};

// Remembers the progress calls; throws from check() after `cancelAfter` calls.
class RecordingProgress : public InterfaceCallback {
 public:
  void check() override {
    if (++checks > cancelAfter) throw InterruptedException();
  }
  void setText(int line, int channel, const std::string& text) override {
    texts.push_back(std::to_string(line) + ":" + text);
  }
  void setValue(int op, int channel, uint64_t value) override {
    ASSERT_EQ(0, op);
    positions.push_back(value);
  }
  uint64_t checks = 0;
  uint64_t cancelAfter = UINT64_MAX;
  std::vector<std::string> texts;
  std::vector<uint64_t> positions;
};

// Records the check-box label besides the texts.
class LabelQuestions : public ScriptedQuestions {
 public:
  using ScriptedQuestions::ScriptedQuestions;
  int ask(Kind kind, const std::string& text, bool defaultNo, const char* checkLabel) override {
    labels.push_back(checkLabel ? checkLabel : "");
    defaults.push_back(defaultNo);
    return ScriptedQuestions::ask(kind, text, defaultNo, checkLabel);
  }
  std::vector<std::string> labels;
  std::vector<bool> defaults;
};

// Fills each block with the low byte of its block number plus one.
class CountingWriter : public Writer {
 public:
  bool fill(uint64_t offset, uint64_t size, void* buffer) override {
    if (failAtCall == calls++) return false;
    memset(buffer, static_cast<int>(offset / kWriteBlockSize + 1), size);
    return true;
  }
  uint64_t calls = 0;
  uint64_t failAtCall = UINT64_MAX;
};

std::string writeQuestion(uint64_t offset, uint64_t size) {
  return "Cannot write to drive\n(offset: " + std::to_string(offset) + ", size: " +
         std::to_string(size) + ")\n\nDo you want to continue?";
}

const uint64_t B = kWriteBlockSize;

}  // namespace

TEST(WritePassBlocks, ZeroWriterErasesTheRangeOnly) {
  RecordingMedium medium(10 * B);
  Writer zeros;
  ScriptedQuestions questions;
  RecordingProgress progress;
  ASSERT_TRUE(writeToMedium(zeros, &progress, questions, "Erasing", medium, B, 3 * B));
  for (uint64_t i = 0; i < medium.bytes.size(); ++i) {
    bool inside = i >= B && i < 4 * B;
    ASSERT_EQ(inside ? 0 : 0xAA, medium.bytes[i]) << i;
  }
  EXPECT_EQ(std::vector<std::string>{"0:Erasing"}, progress.texts);
  EXPECT_EQ(3u, progress.checks);
  std::vector<uint64_t> expected{0, 0, B, 2 * B, 3 * B};
  EXPECT_EQ(expected, progress.positions);
}

TEST(WritePassBlocks, FinalShortBlock) {
  RecordingMedium medium(3 * B);
  CountingWriter source;
  ScriptedQuestions questions;
  ASSERT_TRUE(writeToMedium(source, nullptr, questions, "x", medium, 0, 2 * B + 100));
  std::vector<std::pair<uint64_t, uint64_t>> expected{{0, B}, {B, B}, {2 * B, 100}};
  EXPECT_EQ(expected, medium.writes);
  EXPECT_EQ(1, medium.bytes[0]);
  EXPECT_EQ(3, medium.bytes[2 * B + 99]);
  EXPECT_EQ(0xAA, medium.bytes[2 * B + 100]);
}

TEST(WritePassBlocks, SizeZeroWritesNothingAndSucceeds) {
  RecordingMedium medium(B);
  Writer zeros;
  ScriptedQuestions questions;
  RecordingProgress progress;
  EXPECT_TRUE(writeToMedium(zeros, &progress, questions, "t", medium, 0, 0));
  EXPECT_TRUE(medium.writes.empty());
  EXPECT_EQ(0u, progress.checks);
  EXPECT_TRUE(questions.asked.empty());
}

TEST(WritePassBlocks, RangeOutsideTheMediumIsRefused) {
  RecordingMedium medium(4 * B);
  Writer zeros;
  ScriptedQuestions questions;
  EXPECT_FALSE(writeToMedium(zeros, nullptr, questions, "t", medium, 3 * B, 2 * B));
  EXPECT_FALSE(writeToMedium(zeros, nullptr, questions, "t", medium, UINT64_MAX - 10, 20));
  EXPECT_TRUE(medium.writes.empty());
}

TEST(WritePassBlocks, WorksOverTheMemoryMedium) {
  MemoryReader medium(std::vector<uint8_t>(5 * B + 7, 0x11));
  Writer zeros;
  ScriptedQuestions questions;
  ASSERT_TRUE(writeToMedium(zeros, nullptr, questions, "t", medium, 0, medium.MediumWriter::size()));
  EXPECT_EQ(std::vector<uint8_t>(5 * B + 7, 0), medium.bytes());
}

TEST(WritePassFailures, AnsweredYesGoesOnAndSucceeds) {
  RecordingMedium medium(4 * B);
  medium.failAt = {B, 3 * B};
  Writer zeros;
  LabelQuestions questions({0, 0});
  EXPECT_TRUE(writeToMedium(zeros, nullptr, questions, "t", medium, 0, 4 * B));
  EXPECT_EQ(4u, medium.writes.size());
  ASSERT_EQ(2u, questions.asked.size());
  EXPECT_EQ(writeQuestion(B, B), questions.asked[0]);
  EXPECT_EQ(writeQuestion(3 * B, B), questions.asked[1]);
  EXPECT_EQ(Questions::Question, questions.kinds[0]);
  EXPECT_EQ("Yes To _All", questions.labels[0]);
  EXPECT_FALSE(questions.defaults[0]);
}

TEST(WritePassFailures, YesToAllAsksOnce) {
  RecordingMedium medium(6 * B);
  medium.failAt = {0, 2 * B, 5 * B};
  Writer zeros;
  ScriptedQuestions questions({Questions::Checked});
  questions.fallback = Questions::NotYes;  // any further question would stop the pass
  EXPECT_TRUE(writeToMedium(zeros, nullptr, questions, "t", medium, 0, 6 * B));
  EXPECT_EQ(1u, questions.asked.size());
  EXPECT_EQ(6u, medium.writes.size());
}

TEST(WritePassFailures, TickedBoxWithNoStillStops) {
  RecordingMedium medium(4 * B);
  medium.failAt = {B};
  Writer zeros;
  ScriptedQuestions questions({Questions::NotYes | Questions::Checked});
  EXPECT_FALSE(writeToMedium(zeros, nullptr, questions, "t", medium, 0, 4 * B));
  EXPECT_EQ(2u, medium.writes.size());
}

TEST(WritePassFailures, AnsweredNoStopsAtThatBlock) {
  RecordingMedium medium(5 * B);
  medium.failAt = {2 * B, 4 * B};
  CountingWriter source;
  ScriptedQuestions questions({Questions::NotYes});
  EXPECT_FALSE(writeToMedium(source, nullptr, questions, "t", medium, 0, 5 * B));
  EXPECT_EQ(3u, medium.writes.size());
  EXPECT_EQ(1u, questions.asked.size());
  EXPECT_EQ(2, medium.bytes[B]);
  EXPECT_EQ(0xAA, medium.bytes[3 * B]);
}

TEST(WritePassFailures, FaultReaderBadRangeAsksForTheBlocksItTouches) {
  MemoryReader memory(static_cast<uint64_t>(4 * B));
  FaultReader medium(&memory, &memory);
  medium.failRange(B + 100, 10);
  Writer zeros;
  ScriptedQuestions questions({0});
  EXPECT_TRUE(writeToMedium(zeros, nullptr, questions, "t", medium, 0, 4 * B));
  ASSERT_EQ(1u, questions.asked.size());
  EXPECT_EQ(writeQuestion(B, B), questions.asked[0]);
  EXPECT_EQ(1u, medium.failedWrites);
}

TEST(WritePassFailures, SourceFailureEndsThePassWithoutAQuestion) {
  RecordingMedium medium(4 * B);
  CountingWriter source;
  source.failAtCall = 2;
  ScriptedQuestions questions;
  EXPECT_FALSE(writeToMedium(source, nullptr, questions, "t", medium, 0, 4 * B));
  EXPECT_EQ(2u, medium.writes.size());
  EXPECT_TRUE(questions.asked.empty());
}

TEST(WritePassCancel, InterruptedMidPassReturnsFalseAndKeepsWrittenBlocks) {
  RecordingMedium medium(8 * B);
  CountingWriter source;
  ScriptedQuestions questions;
  RecordingProgress progress;
  progress.cancelAfter = 3;
  bool result = true;
  EXPECT_NO_THROW(result = writeToMedium(source, &progress, questions, "t", medium, 0, 8 * B));
  EXPECT_FALSE(result);
  EXPECT_EQ(3u, medium.writes.size());
  EXPECT_EQ(3, medium.bytes[3 * B - 1]);
  EXPECT_EQ(0xAA, medium.bytes[3 * B]);
}

TEST(WritePassCancel, CancelAtTheFirstCheckWritesNothing) {
  RecordingMedium medium(2 * B);
  Writer zeros;
  ScriptedQuestions questions;
  RecordingProgress progress;
  progress.cancelAfter = 0;
  EXPECT_FALSE(writeToMedium(zeros, &progress, questions, "t", medium, 0, 2 * B));
  EXPECT_TRUE(medium.writes.empty());
}

TEST(WritePassRestore, ImageShorterThanTheRangeStopsWithTheReadMessage) {
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
  EXPECT_EQ(1u, medium.writes.size());
  EXPECT_EQ(0x77, medium.bytes[B - 1]);
  EXPECT_EQ(0xAA, medium.bytes[B]);
  ASSERT_EQ(1u, questions.asked.size());
  EXPECT_EQ("Cannot read file\n(offset: 32768, size: 32768)", questions.asked[0]);
  EXPECT_EQ(Questions::Error, questions.kinds[0]);
  close(fd);
}
