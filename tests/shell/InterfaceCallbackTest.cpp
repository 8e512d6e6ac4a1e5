// Workers that report through an optional progress callback.

#include "shell/InterfaceCallback.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Counter : public InterfaceCallback {
 public:
  void check() override {
    if (++checks >= stopAt) throw InterruptedException();
  }
  void setText(int line, int channel, const std::string& text) override {
    if (channel == 0 && line == 0) mainText = text;
  }
  void setValue(int op, int channel, uint64_t value) override {
    if (channel != 0) return;
    if (op == 0) position = value;
    if (op == 1) position += value;
  }
  int checks = 0;
  int stopAt = 1 << 30;
  std::string mainText;
  uint64_t position = 0;
};

// A worker in the usual pattern: texts, a start position, check and add per block.
class Worker : public UsesInterfaceCallback {
 public:
  int run(int blocks, uint64_t start, uint64_t blockSize) {
    setText(0, 0, "working");
    setValue(0, 0, start);
    int done = 0;
    for (int i = 0; i < blocks; ++i) {
      check();
      setValue(1, 0, blockSize);
      ++done;
    }
    return done;
  }
};

}  // namespace

TEST(ProgressCallback, WorkerWithoutCallbackRunsToTheEnd) {
  Worker worker;
  EXPECT_FALSE(worker.hasCallback());
  EXPECT_EQ(nullptr, worker.callback());
  EXPECT_EQ(5, worker.run(5, 0, 1));
}

TEST(ProgressCallback, ForwardsAndCarriesPastThirtyTwoBits) {
  Worker worker;
  Counter counter;
  worker.setCallback(&counter);
  EXPECT_TRUE(worker.hasCallback());
  EXPECT_EQ(&counter, worker.callback());
  EXPECT_EQ(3, worker.run(3, 4294967295ULL, 1));
  EXPECT_EQ("working", counter.mainText);
  EXPECT_EQ(3, counter.checks);
  EXPECT_EQ(4294967298ULL, counter.position);
  worker.setCallback(nullptr);
  EXPECT_FALSE(worker.hasCallback());
}

TEST(ProgressCallback, CancelLeavesTheWorkerAsAnException) {
  Worker worker;
  Counter counter;
  counter.stopAt = 2;
  worker.setCallback(&counter);
  EXPECT_THROW(worker.run(10, 0, 512), InterruptedException);
  EXPECT_EQ(512u, counter.position);
}

TEST(ProgressCallback, DefaultCallbackDoesNothing) {
  InterfaceCallback plain;
  EXPECT_NO_THROW(plain.check());
  plain.setText(0, 0, "x");
  plain.setValue(1, 0, 5);
}
