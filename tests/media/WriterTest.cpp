// Content sources of a write pass: the zero writer and the image-file writer.

#include "media/Writer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "tests/support/MemoryReader.h"

namespace {

// An unlinked temporary file holding `size` counting bytes.
int imageDescriptor(size_t size) {
  FILE* f = tmpfile();
  for (size_t i = 0; i < size; ++i) fputc(int(i % 251), f);
  fflush(f);
  int fd = dup(fileno(f));
  fclose(f);
  lseek(fd, 0, SEEK_SET);
  return fd;
}

}  // namespace

TEST(Writer, ThePlainWriterLeavesTheBlockAlone) {
  std::vector<uint8_t> block(64, 0xAB);
  EXPECT_TRUE(Writer().fill(0, block.size(), block.data()));
  EXPECT_EQ(std::vector<uint8_t>(64, 0xAB), block);
}

TEST(Writer, TheImageWriterFillsInFileOrderAndAsksAtItsEnd) {
  int fd = imageDescriptor(1000);
  ScriptedQuestions questions;
  WriterFromFile writer(&questions, fd);
  std::vector<uint8_t> block(400);
  ASSERT_TRUE(writer.fill(123456, 400, block.data()));
  EXPECT_EQ(0, block[0]);
  EXPECT_EQ(399 % 251, block[399]);
  ASSERT_TRUE(writer.fill(0, 400, block.data())) << "whatever the offset";
  EXPECT_EQ(400 % 251, block[0]);
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_FALSE(writer.fill(800, 400, block.data()));
  EXPECT_EQ(std::vector<std::string>{"Cannot read file\n(offset: 800, size: 400)"}, questions.asked);
  EXPECT_EQ(Questions::Error, questions.kinds[0]);
  close(fd);
  fd = imageDescriptor(10);
  EXPECT_FALSE(WriterFromFile(nullptr, fd).fill(0, 20, block.data())) << "no questions: it just fails";
  close(fd);
}

TEST(Writer, ThePipeOfAnImageIsReadInPieces) {
  // A pipe delivers what has been written so far: the fill must keep reading.
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    for (int i = 0; i < 10; ++i) {
      std::vector<uint8_t> piece(100, uint8_t(i));
      if (write(fds[1], piece.data(), piece.size()) != 100) _exit(1);
      usleep(2000);
    }
    _exit(0);
  }
  close(fds[1]);
  ScriptedQuestions questions;
  std::vector<uint8_t> block(1000);
  EXPECT_TRUE(WriterFromFile(&questions, fds[0]).fill(0, 1000, block.data()));
  EXPECT_EQ(0, block[0]);
  EXPECT_EQ(9, block[999]);
  close(fds[0]);
  waitpid(child, nullptr, 0);
}
