// The modal "Please Wait" box of every long operation except the scan.
//
// A worker reports through the InterfaceCallback operations: texts and a
// 64-bit position are stored at once and shown by a 100 ms refresh, so a
// worker may call setText/setValue as often as it likes.  check() runs the
// pending GUI events and throws InterruptedException once the user pressed
// Cancel or closed the window; every later check() throws as well.
//
// The box is shown by the constructor and destroyed by the destructor; the
// command that opened it destroys it after the work ends, normally or by
// InterruptedException.  GUI thread only.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>

#include "shell/InterfaceCallback.h"

// The base through which the GUI progress box implements InterfaceCallback.
class ProgressBoxIC : public InterfaceCallback {
 public:
  ~ProgressBoxIC() override {}
};

namespace gtk {

class ProgressBox : public ProgressBoxIC {
 public:
  enum Style {
    Activity = 0,    // pulsing bar, one text row without caption
    Operation = 1,   // bar text, "Progress" and "Time Remaining" row
    FileCopy = 2,    // progress and time row, "File" row, "Write to" row
  };
  // Microseconds of a monotonic clock.
  typedef std::function<int64_t()> Clock;

  // parent may be null (the box is then centred on the screen).  width is
  // the default width in pixels; the height is the natural one.
  ProgressBox(GtkWindow* parent, int style, uint64_t total, uint64_t startPosition = 0,
              int width = 600);
  ~ProgressBox() override;
  ProgressBox(const ProgressBox&) = delete;
  ProgressBox& operator=(const ProgressBox&) = delete;

  void check() override;
  // line 2: window title; line 0: style 1 the bar text (held for 600
  // refreshes), other styles the "File" label; line 1: the "Write to" label.
  void setText(int line, int channel, const std::string& text) override;
  // op 0 sets the position, op 1 adds to it (64-bit).
  void setValue(int op, int channel, uint64_t value) override;

  // One refresh, as the 100 ms timer does it.
  void update();

  // Cancel pressed, window closed, or the box destroyed with its parent.
  bool cancelled() const { return response_ != -1; }
  uint64_t position() const { return position_; }
  int style() const { return style_; }

  // The widgets, for tests and for callers that place other windows over it.
  GtkWidget* dialog() const { return dialog_; }
  GtkProgressBar* progressBar() const { return bar_; }
  // Null when the style has no such row.
  GtkLabel* progressLabel() const { return progress_.label; }
  GtkLabel* timeLabel() const { return time_.label; }
  GtkLabel* fileLabel() const { return file_.label; }
  GtkLabel* targetLabel() const { return target_.label; }

  // Replaces the clock (tests); restarts the time estimate from its now.
  void setClock(Clock clock);

 private:
  struct DeferredLabel {
    GtkLabel* label = nullptr;
    std::string pending;
    bool changed = false;
    void set(const std::string& text);
    void flush();
  };

  static gboolean onTimer(gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer);
  static void onResponse(GtkDialog*, gint response, gpointer self);
  static void onDestroy(GtkWidget*, gpointer self);
  // A caption (none when null; in group when group is not null) and the
  // framed value label, packed into row.
  void addItem(GtkWidget* row, GtkSizeGroup* group, const char* caption, DeferredLabel& value);
  void updateTimeEstimate(double fraction);

  int style_;
  uint64_t total_;
  uint64_t position_;
  uint64_t startPosition_;
  GtkWidget* dialog_ = nullptr;
  GtkProgressBar* bar_ = nullptr;
  int textHold_ = 0;
  guint timer_ = 0;
  int response_ = -1;
  Clock clock_;
  int64_t startTime_ = 0;
  int64_t lastEstimateTime_ = 0;
  bool estimated_ = false;
  DeferredLabel progress_;
  DeferredLabel time_;
  DeferredLabel file_;
  DeferredLabel target_;
};

}  // namespace gtk
