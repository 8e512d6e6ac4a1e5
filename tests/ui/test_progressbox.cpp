// The progress box through its widgets: the rows of each style, deferred
// texts, percentage, time estimate and cancel.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <utility>
#include <vector>

#include "shell/Format.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/ProgressBox.h"

using gtk::ProgressBox;
using namespace wintest;

namespace {

const int64_t kSecond = 1000000;

std::string text(GtkLabel* label) { return label ? gtk_label_get_text(label) : "<none>"; }
std::string barText(ProgressBox& box) {
  const char* t = gtk_progress_bar_get_text(box.progressBar());
  return t ? t : "";
}

typedef WindowTest ProgressBoxTest;

}  // namespace

TEST_F(ProgressBoxTest, BarShowsTheShareDoneFromTheStartPosition) {
  typedef std::vector<std::pair<int, uint64_t>> Values;  // (op, value): 0 sets, 1 adds
  const struct {
    uint64_t total, start;
    Values values;
    const char* bar;
    uint64_t position;
  } cases[] = {
      {4000, 0, {{0, 1000}}, "25%", 1000},
      {4000, 0, {{0, 1000}, {1, 1999}}, "74%", 2999},  // cut, not rounded
      {100, 50, {}, "0%", 50},
      {100, 50, {{0, 75}}, "25%", 75},
      {100, 50, {{0, 10}}, "0%", 10},  // before the start: nothing done
      {100, 0, {{0, 250}}, "100%", 250},
      {0, 0, {{0, 123}}, "0%", 123},
      {0, 0, {{0, 4294967295u}, {1, 10}, {1, 5000000000ull}}, "0%", 9294967305ull},
      {0, 0, {{0, UINT64_MAX - 1}, {1, 5}}, "0%", UINT64_MAX},  // no wrap at the top
      {100, 0, {{0, 40}, {0, 30}, {7, 90}}, "30%", 30},         // unknown operations change nothing
  };
  for (const auto& c : cases) {
    ProgressBox box(nullptr, ProgressBox::FileCopy, c.total, c.start);
    for (const auto& v : c.values) box.setValue(v.first, 0, v.second);
    box.setValue(0, 1, 77);  // another channel
    box.update();
    EXPECT_EQ(barText(box), c.bar) << c.total << " " << c.start;
    EXPECT_EQ(box.position(), c.position) << c.total << " " << c.start;
    EXPECT_TRUE(c.total != 0 || text(box.timeLabel()).empty());  // no estimate without a total
  }
}

TEST_F(ProgressBoxTest, TextsReachTheirLabelsAtTheNextUpdate) {
  ProgressBox copy(nullptr, ProgressBox::FileCopy, 1000);
  copy.setText(0, 0, "1048576-2048.jpg");
  copy.setText(1, 0, "/home/user/Recovered & Saved");
  copy.setText(0, 1, "another channel");
  copy.setText(5, 0, "no such line");
  EXPECT_EQ(text(copy.fileLabel()), "");
  copy.update();
  EXPECT_EQ(text(copy.fileLabel()), "1048576-2048.jpg");
  EXPECT_EQ(text(copy.targetLabel()), "/home/user/Recovered & Saved");
  EXPECT_EQ(barText(copy), "0%");  // line 0 of a copy is the file, not the bar
  copy.setText(2, 0, "Recovering Files");
  EXPECT_EQ(titleOf(copy.dialog()), "Recovering Files");

  ProgressBox activity(nullptr, ProgressBox::Activity, 0, 0, 320);
  activity.setText(0, 0, "Looking for updates");
  activity.update();
  EXPECT_EQ(text(activity.fileLabel()), "Looking for updates");

  // An operation shows line 0 on the bar for a minute of updates.
  ProgressBox operation(nullptr, ProgressBox::Operation, 100);
  operation.setValue(0, 0, 40);
  operation.setText(0, 0, "Formatting");
  for (int i = 0; i < 600; ++i) operation.update();
  EXPECT_EQ(barText(operation), "Formatting");
  operation.update();
  EXPECT_EQ(barText(operation), "40%");
}

TEST_F(ProgressBoxTest, TimeRemainingFromElapsedTimeAndShareDone) {
  const struct {
    uint64_t total, done;
    int64_t elapsed;  // seconds; negative: a clock that went back
    std::string shown;
  } cases[] = {{1000, 250, 10, formatDuration(30)},
               {1000, 0, 10, ""},  // no estimate before any progress
               {1000000000000ull, 1, 100000, formatDuration(359999)},
               {100, 50, -20, formatDuration(0)}};
  for (const auto& c : cases) {
    int64_t now = 5 * kSecond;
    ProgressBox box(nullptr, ProgressBox::Operation, c.total);
    box.setClock([&now]() { return now; });
    now += c.elapsed * kSecond;
    box.setValue(0, 0, c.done);
    box.update();
    EXPECT_EQ(text(box.timeLabel()), c.shown) << c.total << " " << c.elapsed;
  }
}

TEST_F(ProgressBoxTest, CancelOrCloseMakesEveryLaterCheckThrow) {
  for (const char* how : {"cancel", "close", "parent"}) {
    SCOPED_TRACE(how);
    GtkWidget* parent = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(parent);
    ProgressBox box(GTK_WINDOW(parent), ProgressBox::FileCopy, 100);
    EXPECT_NO_THROW(box.check());
    if (std::string(how) == "cancel") gtk_button_clicked(GTK_BUTTON(stockButton(box.dialog(), GTK_STOCK_CANCEL)));
    if (std::string(how) == "close") closeWindow(box.dialog());
    if (std::string(how) == "parent") gtk_widget_destroy(parent);
    box.setValue(0, 0, 30);
    box.update();
    EXPECT_TRUE(box.cancelled());
    EXPECT_THROW(box.check(), InterruptedException);
    EXPECT_THROW(box.check(), InterruptedException);
    // Closing keeps the box on screen until the work has stopped.
    if (std::string(how) == "close") {
      EXPECT_EQ(barText(box), "30%");
    }
    if (std::string(how) != "parent") gtk_widget_destroy(parent);
  }
}

TEST_F(ProgressBoxTest, TheTimerShowsProgressWhileTheWorkerChecks) {
  ProgressBox box(nullptr, ProgressBox::FileCopy, 200);
  box.setValue(0, 0, 100);
  box.setText(0, 0, "a.jpg");
  EXPECT_TRUE(waitFor([&box]() {
    box.check();
    return text(box.fileLabel()) == "a.jpg";
  }));
  EXPECT_EQ(barText(box), "50%");
}
