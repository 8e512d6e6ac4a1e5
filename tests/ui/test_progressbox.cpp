// The progress box through its widgets: rows of each style, deferred texts,
// percentage, byte progress, time estimate and cancel.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "shell/Format.h"
#include "ui/ProgressBox.h"

namespace uitest {
void ensureGtk();
std::vector<GtkWidget*> findAll(GtkWidget* root, GType type);
void closeWindow(GtkWidget* window);
void screenshot();
}  // namespace uitest

using gtk::ProgressBox;
using namespace uitest;

namespace {

const int64_t kSecond = 1000000;

// A clock the test moves by hand.
struct FakeClock {
  int64_t now = 5 * kSecond;
  ProgressBox::Clock clock() {
    return [this]() { return now; };
  }
};

std::string text(GtkLabel* label) { return label ? gtk_label_get_text(label) : "<none>"; }
std::string barText(ProgressBox& box) {
  const char* t = gtk_progress_bar_get_text(box.progressBar());
  return t ? t : "";
}

std::vector<std::string> captions(ProgressBox& box) {
  std::vector<std::string> out;
  for (GtkWidget* label : findAll(box.dialog(), GTK_TYPE_LABEL)) {
    // Captions sit directly in a row; value labels sit in frames.
    if (GTK_IS_HBOX(gtk_widget_get_parent(label)) && !gtk_widget_get_ancestor(label, GTK_TYPE_BUTTON))
      out.push_back(gtk_label_get_text(GTK_LABEL(label)));
  }
  return out;
}

GtkWidget* cancelButton(ProgressBox& box) {
  std::vector<GtkWidget*> buttons = findAll(GTK_DIALOG(box.dialog())->action_area, GTK_TYPE_BUTTON);
  return buttons.empty() ? nullptr : buttons[0];
}

void pump() {
  while (gtk_events_pending())
    gtk_main_iteration();
}

class ProgressBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { ensureGtk(); }
};

}  // namespace

TEST_F(ProgressBoxTest, EachStyleHasItsRows) {
  ProgressBox activity(nullptr, ProgressBox::Activity, 0, 0, 320);
  EXPECT_NE(nullptr, activity.fileLabel());
  EXPECT_EQ(nullptr, activity.progressLabel());
  EXPECT_EQ(nullptr, activity.timeLabel());
  EXPECT_EQ(nullptr, activity.targetLabel());
  EXPECT_TRUE(captions(activity).empty());
  EXPECT_STREQ("Please Wait", gtk_window_get_title(GTK_WINDOW(activity.dialog())));

  ProgressBox operation(nullptr, ProgressBox::Operation, 100);
  EXPECT_NE(nullptr, operation.progressLabel());
  EXPECT_NE(nullptr, operation.timeLabel());
  EXPECT_EQ(nullptr, operation.fileLabel());
  EXPECT_EQ(nullptr, operation.targetLabel());
  EXPECT_EQ((std::vector<std::string>{"Progress", "Time Remaining"}), captions(operation));

  ProgressBox copy(nullptr, ProgressBox::FileCopy, 100);
  EXPECT_NE(nullptr, copy.fileLabel());
  EXPECT_NE(nullptr, copy.targetLabel());
  EXPECT_EQ((std::vector<std::string>{"Progress", "Time Remaining", "File", "Write to"}),
            captions(copy));
  EXPECT_STREQ(GTK_STOCK_CANCEL, gtk_button_get_label(GTK_BUTTON(cancelButton(copy))));
  EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(copy.dialog())));
}

TEST_F(ProgressBoxTest, TextsReachTheirLabelsAtTheNextUpdate) {
  ProgressBox box(nullptr, ProgressBox::FileCopy, 1000);
  box.setText(0, 0, "1048576-2048.jpg");
  box.setText(1, 0, "/home/user/Recovered & Saved");
  EXPECT_EQ("", text(box.fileLabel()));
  EXPECT_EQ("", text(box.targetLabel()));
  box.setText(0, 0, "2097152-4096.jpg");
  box.update();
  EXPECT_EQ("2097152-4096.jpg", text(box.fileLabel()));
  EXPECT_EQ("/home/user/Recovered & Saved", text(box.targetLabel()));
  box.setText(2, 0, "Recovering Files");
  EXPECT_STREQ("Recovering Files", gtk_window_get_title(GTK_WINDOW(box.dialog())));
  box.setValue(0, 0, 400);
  box.update();
  pump();
  screenshot();
}

TEST_F(ProgressBoxTest, OtherChannelsAndUnknownLinesChangeNothing) {
  ProgressBox box(nullptr, ProgressBox::FileCopy, 1000);
  box.setText(0, 1, "ignored");
  box.setText(2, 1, "ignored");
  box.setText(5, 0, "ignored");
  box.setValue(0, 1, 500);
  box.setValue(7, 0, 500);
  box.update();
  EXPECT_EQ("", text(box.fileLabel()));
  EXPECT_STREQ("Please Wait", gtk_window_get_title(GTK_WINDOW(box.dialog())));
  EXPECT_EQ(0u, box.position());
  EXPECT_EQ("0%", barText(box));
}

TEST_F(ProgressBoxTest, ActivityStyleShowsLineZeroAndIgnoresLineOne) {
  ProgressBox box(nullptr, ProgressBox::Activity, 0, 0, 320);
  box.setText(0, 0, "Looking for updates");
  box.setText(1, 0, "nowhere");
  box.update();
  EXPECT_EQ("Looking for updates", text(box.fileLabel()));
}

TEST_F(ProgressBoxTest, PercentageAndByteProgress) {
  ProgressBox box(nullptr, ProgressBox::Operation, 4000);
  box.setValue(0, 0, 1000);
  box.update();
  EXPECT_EQ("25%", barText(box));
  EXPECT_DOUBLE_EQ(0.25, gtk_progress_bar_get_fraction(box.progressBar()));
  EXPECT_EQ(formatSizeOf(1000, 4000), text(box.progressLabel()));
  box.setValue(1, 0, 1999);
  box.update();
  EXPECT_EQ("74%", barText(box));  // truncated, not rounded
  EXPECT_EQ(formatSizeOf(2999, 4000), text(box.progressLabel()));
}

TEST_F(ProgressBoxTest, ProgressCountsFromTheStartPosition) {
  ProgressBox box(nullptr, ProgressBox::Operation, 100, 50);
  box.update();
  EXPECT_EQ("0%", barText(box));
  box.setValue(0, 0, 75);
  box.update();
  EXPECT_EQ("25%", barText(box));
  // A position before the start counts as nothing done.
  box.setValue(0, 0, 10);
  box.update();
  EXPECT_EQ("0%", barText(box));
}

TEST_F(ProgressBoxTest, PositionBeyondTotalShowsAFullBar) {
  ProgressBox box(nullptr, ProgressBox::FileCopy, 100);
  box.setValue(0, 0, 250);
  box.update();
  EXPECT_EQ("100%", barText(box));
  EXPECT_DOUBLE_EQ(1.0, gtk_progress_bar_get_fraction(box.progressBar()));
}

TEST_F(ProgressBoxTest, ZeroTotalShowsNothingDoneAndNoEstimate) {
  for (int style : {ProgressBox::Operation, ProgressBox::FileCopy}) {
    SCOPED_TRACE(style);
    FakeClock clock;
    ProgressBox box(nullptr, style, 0);
    box.setClock(clock.clock());
    box.setValue(0, 0, 123);
    clock.now += 10 * kSecond;
    box.update();
    EXPECT_EQ("0%", barText(box));
    EXPECT_DOUBLE_EQ(0.0, gtk_progress_bar_get_fraction(box.progressBar()));
    EXPECT_EQ("", text(box.timeLabel()));
  }
}

TEST_F(ProgressBoxTest, PositionAddsIn64Bits) {
  ProgressBox box(nullptr, ProgressBox::FileCopy, 0);
  box.setValue(0, 0, 4294967295u);
  box.setValue(1, 0, 10);
  EXPECT_EQ(4294967305u, box.position());
  box.setValue(1, 0, 5000000000ull);
  EXPECT_EQ(9294967305u, box.position());
  // No wrap at the top either.
  box.setValue(0, 0, UINT64_MAX - 1);
  box.setValue(1, 0, 5);
  EXPECT_EQ(UINT64_MAX, box.position());
}

TEST_F(ProgressBoxTest, BarTextIsHeldForSixHundredUpdates) {
  ProgressBox box(nullptr, ProgressBox::Operation, 100);
  box.setValue(0, 0, 40);
  box.setText(0, 0, "Formatting");
  EXPECT_EQ("Formatting", barText(box));
  for (int i = 0; i < 600; ++i)
    box.update();
  EXPECT_EQ("Formatting", barText(box));
  box.update();
  EXPECT_EQ("40%", barText(box));
}

TEST_F(ProgressBoxTest, LineZeroOfOtherStylesLeavesTheBarAlone) {
  ProgressBox box(nullptr, ProgressBox::FileCopy, 100);
  box.setValue(0, 0, 40);
  box.setText(0, 0, "file.jpg");
  box.update();
  EXPECT_EQ("40%", barText(box));
}

TEST_F(ProgressBoxTest, TimeRemainingFromElapsedTimeAndFraction) {
  FakeClock clock;
  ProgressBox box(nullptr, ProgressBox::Operation, 1000);
  box.setClock(clock.clock());
  clock.now += 10 * kSecond;
  box.setValue(0, 0, 250);
  box.update();
  EXPECT_EQ(formatDuration(30), text(box.timeLabel()));

  // Within the same second the estimate stays.
  clock.now += kSecond / 2;
  box.setValue(0, 0, 500);
  box.update();
  EXPECT_EQ(formatDuration(30), text(box.timeLabel()));

  // A second later: 11.5 s for half the work leaves 11 s (truncated).
  clock.now += kSecond;
  box.update();
  EXPECT_EQ(formatDuration(11), text(box.timeLabel()));
}

TEST_F(ProgressBoxTest, TimeEstimateNeverNegativeNorOverflowing) {
  FakeClock clock;
  ProgressBox box(nullptr, ProgressBox::FileCopy, 1000000000000ull);
  box.setClock(clock.clock());
  // A tiny fraction after a long time: far beyond 32 bits of seconds.
  clock.now += 100000 * kSecond;
  box.setValue(0, 0, 1);
  box.update();
  EXPECT_EQ(formatDuration(359999), text(box.timeLabel()));

  // A clock that went back (or stands still) gives no negative time.
  FakeClock back;
  ProgressBox other(nullptr, ProgressBox::Operation, 100);
  other.setClock(back.clock());
  back.now -= 20 * kSecond;
  other.setValue(0, 0, 50);
  other.update();
  EXPECT_EQ(formatDuration(0), text(other.timeLabel()));
}

TEST_F(ProgressBoxTest, NoEstimateBeforeAnyProgress) {
  FakeClock clock;
  ProgressBox box(nullptr, ProgressBox::Operation, 1000);
  box.setClock(clock.clock());
  clock.now += 10 * kSecond;
  box.update();
  EXPECT_EQ("", text(box.timeLabel()));
}

TEST_F(ProgressBoxTest, CancelMakesEveryLaterCheckThrow) {
  ProgressBox box(nullptr, ProgressBox::FileCopy, 100);
  EXPECT_NO_THROW(box.check());
  EXPECT_FALSE(box.cancelled());
  gtk_button_clicked(GTK_BUTTON(cancelButton(box)));
  EXPECT_THROW(box.check(), InterruptedException);
  EXPECT_THROW(box.check(), InterruptedException);
  EXPECT_TRUE(box.cancelled());
}

TEST_F(ProgressBoxTest, ClosingTheWindowCancelsButKeepsTheBox) {
  ProgressBox box(nullptr, ProgressBox::Operation, 100);
  pump();
  closeWindow(box.dialog());
  EXPECT_THROW(box.check(), InterruptedException);
  ASSERT_NE(nullptr, box.dialog());
  EXPECT_TRUE(GTK_WIDGET_VISIBLE(box.dialog()));
  box.setValue(0, 0, 30);
  box.update();
  EXPECT_EQ("30%", barText(box));
}

TEST_F(ProgressBoxTest, CancelPressedBetweenChecksCountsAtTheNextCheck) {
  ProgressBox box(nullptr, ProgressBox::Operation, 100);
  box.check();
  gtk_dialog_response(GTK_DIALOG(box.dialog()), GTK_RESPONSE_CANCEL);
  box.setValue(1, 0, 10);
  EXPECT_THROW(box.check(), InterruptedException);
}

TEST_F(ProgressBoxTest, TimerUpdatesWhileTheWorkerChecks) {
  ProgressBox box(nullptr, ProgressBox::FileCopy, 200);
  box.setValue(0, 0, 100);
  box.setText(0, 0, "a.jpg");
  // The 100 ms timer runs inside check(); wait for it, however slow the machine.
  gint64 deadline = g_get_monotonic_time() + 20 * kSecond;
  while (text(box.fileLabel()) != "a.jpg" && g_get_monotonic_time() < deadline) {
    box.check();
    g_usleep(5000);
  }
  EXPECT_EQ("a.jpg", text(box.fileLabel()));
  EXPECT_EQ("50%", barText(box));
}

TEST_F(ProgressBoxTest, ParentDestroyedFirstCountsAsCancel) {
  GtkWidget* parent = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_show(parent);
  ProgressBox* box = new ProgressBox(GTK_WINDOW(parent), ProgressBox::FileCopy, 100);
  gtk_widget_destroy(parent);
  EXPECT_EQ(nullptr, box->dialog());
  box->setText(0, 0, "after");
  box->setValue(0, 0, 10);
  box->update();
  EXPECT_THROW(box->check(), InterruptedException);
  delete box;
}
