// Content sources of a write pass: the zero writer and the image-file writer.

#include "media/Writer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "tests/support/MemoryReader.h"

namespace {

// An unlinked temporary file holding `size` counting bytes.
int imageDescriptor(size_t size) {
  FILE* f = tmpfile();
  for (size_t i = 0; i < size; ++i) fputc(static_cast<int>(i % 251), f);
  fflush(f);
  int fd = dup(fileno(f));
  fclose(f);
  lseek(fd, 0, SEEK_SET);
  return fd;
}

}  // namespace

TEST(PlainWriter, LeavesTheBufferAlone) {
  Writer writer;
  std::vector<uint8_t> block(64, 0xAB);
  EXPECT_TRUE(writer.fill(0, block.size(), block.data()));
  EXPECT_EQ(std::vector<uint8_t>(64, 0xAB), block);
}

TEST(ImageWriter, FillsBlocksInFileOrderWhateverTheOffset) {
  int fd = imageDescriptor(1000);
  ScriptedQuestions questions;
  WriterFromFile writer(&questions, fd);
  std::vector<uint8_t> block(400);
  ASSERT_TRUE(writer.fill(123456, 400, block.data()));
  EXPECT_EQ(0, block[0]);
  EXPECT_EQ(399 % 251, block[399]);
  ASSERT_TRUE(writer.fill(0, 400, block.data()));
  EXPECT_EQ(400 % 251, block[0]);
  EXPECT_TRUE(questions.asked.empty());
  close(fd);
}

TEST(ImageWriter, ShortFileAsksWithOffsetAndSize) {
  int fd = imageDescriptor(1000);
  ScriptedQuestions questions;
  WriterFromFile writer(&questions, fd);
  std::vector<uint8_t> block(600);
  ASSERT_TRUE(writer.fill(0, 600, block.data()));
  EXPECT_FALSE(writer.fill(600, 600, block.data()));
  ASSERT_EQ(1u, questions.asked.size());
  EXPECT_EQ(Questions::Error, questions.kinds[0]);
  EXPECT_EQ("Cannot read file\n(offset: 600, size: 600)", questions.asked[0]);
  close(fd);
}

TEST(ImageWriter, WithoutQuestionsItJustFails) {
  int fd = imageDescriptor(10);
  WriterFromFile writer(nullptr, fd);
  uint8_t block[20];
  EXPECT_FALSE(writer.fill(0, 20, block));
  close(fd);
}

TEST(ImageWriter, ReadsAPipeInPieces) {
  // A pipe delivers what has been written so far: the fill must keep reading.
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    uint8_t piece[100];
    for (int i = 0; i < 10; ++i) {
      for (int j = 0; j < 100; ++j) piece[j] = static_cast<uint8_t>(i);
      if (write(fds[1], piece, sizeof piece) != sizeof piece) _exit(1);
      usleep(2000);
    }
    _exit(0);
  }
  close(fds[1]);
  ScriptedQuestions questions;
  WriterFromFile writer(&questions, fds[0]);
  std::vector<uint8_t> block(1000);
  EXPECT_TRUE(writer.fill(0, 1000, block.data()));
  EXPECT_EQ(0, block[0]);
  EXPECT_EQ(9, block[999]);
  EXPECT_TRUE(questions.asked.empty());
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
}
