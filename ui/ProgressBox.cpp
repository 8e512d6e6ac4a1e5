#include "ui/ProgressBox.h"

#include <cmath>

#include "shell/Format.h"
#include "shell/Intl.h"

namespace gtk {

namespace {

const guint kUpdateMilliseconds = 100;
// A text set on the bar stays there for one minute of updates.
const int kTextHoldUpdates = 600;
const int64_t kMicroseconds = 1000000;
// Early in a long operation the estimate can be huge; anything beyond
// 99 hours 59 minutes 59 seconds is shown as that.
const double kMaxEstimateSeconds = 359999.0;

int64_t monotonicNow() { return g_get_monotonic_time(); }

}  // namespace

void ProgressBox::DeferredLabel::set(const std::string& text) {
  if (!label)
    return;
  pending = text;
  changed = true;
}

void ProgressBox::DeferredLabel::flush() {
  if (!label || !changed)
    return;
  gtk_label_set_text(label, pending.c_str());
  changed = false;
}

ProgressBox::ProgressBox(GtkWindow* parent, int style, uint64_t total, uint64_t startPosition,
                         int width)
    : style_(style < Activity || style > FileCopy ? Operation : style),
      total_(total),
      position_(startPosition),
      startPosition_(startPosition),
      clock_(monotonicNow) {
  startTime_ = clock_();
  dialog_ = gtk_dialog_new_with_buttons(
      _("Please Wait"), parent,
      GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT | GTK_DIALOG_NO_SEPARATOR),
      GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, nullptr);

  GtkWidget* vbox = gtk_vbox_new(FALSE, 4);
  gtk_container_set_border_width(GTK_CONTAINER(vbox), 8);
  gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog_)->vbox), vbox, TRUE, TRUE, 0);
  bar_ = GTK_PROGRESS_BAR(gtk_progress_bar_new());
  gtk_box_pack_start(GTK_BOX(vbox), GTK_WIDGET(bar_), FALSE, FALSE, 0);

  GtkSizeGroup* group = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
  if (style_ == Operation || style_ == FileCopy) {
    GtkWidget* row = gtk_hbox_new(FALSE, 4);
    gtk_box_pack_start(GTK_BOX(vbox), row, FALSE, FALSE, 0);
    addItem(row, group, _("Progress"), progress_);
    addItem(row, nullptr, _("Time Remaining"), time_);
  }
  if (style_ == Activity || style_ == FileCopy) {
    GtkWidget* row = gtk_hbox_new(FALSE, 4);
    gtk_box_pack_start(GTK_BOX(vbox), row, FALSE, FALSE, 0);
    addItem(row, group, style_ == FileCopy ? _("File") : nullptr, file_);
  }
  if (style_ == FileCopy) {
    GtkWidget* row = gtk_hbox_new(FALSE, 4);
    gtk_box_pack_start(GTK_BOX(vbox), row, FALSE, FALSE, 0);
    addItem(row, group, _("Write to"), target_);
  }
  g_object_unref(group);

  g_signal_connect(dialog_, "delete_event", G_CALLBACK(onDelete), nullptr);
  g_signal_connect(dialog_, "response", G_CALLBACK(onResponse), this);
  g_signal_connect(dialog_, "destroy", G_CALLBACK(onDestroy), this);

  timer_ = g_timeout_add(kUpdateMilliseconds, onTimer, this);
  gtk_window_set_default_size(GTK_WINDOW(dialog_), width, -1);
  if (!parent)
    gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_CENTER);
  gtk_widget_show_all(dialog_);
  update();
}

ProgressBox::~ProgressBox() {
  if (timer_)
    g_source_remove(timer_);
  if (dialog_) {
    g_signal_handlers_disconnect_by_data(dialog_, this);
    gtk_widget_destroy(dialog_);
  }
}

void ProgressBox::addItem(GtkWidget* row, GtkSizeGroup* group, const char* caption,
                          DeferredLabel& value) {
  if (caption) {
    GtkWidget* label = gtk_label_new(caption);
    gtk_misc_set_alignment(GTK_MISC(label), 1.0f, 0.5f);
    gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
    if (group)
      gtk_size_group_add_widget(group, label);
  }
  GtkWidget* frame = gtk_frame_new(nullptr);
  gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
  gtk_box_pack_start(GTK_BOX(row), frame, TRUE, TRUE, 0);
  GtkWidget* label = gtk_label_new("");
  gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
  gtk_misc_set_padding(GTK_MISC(label), 2, 1);
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_MIDDLE);
  gtk_container_add(GTK_CONTAINER(frame), label);
  value.label = GTK_LABEL(label);
}

void ProgressBox::check() {
  while (gtk_events_pending())
    gtk_main_iteration();
  if (cancelled())
    throw InterruptedException();
}

void ProgressBox::setText(int line, int channel, const std::string& text) {
  if (channel != 0 || !dialog_)
    return;
  switch (line) {
    case 0:
      if (style_ == Operation) {
        gtk_progress_bar_set_text(bar_, text.c_str());
        textHold_ = kTextHoldUpdates;
      } else {
        file_.set(text);
      }
      break;
    case 1:
      target_.set(text);
      break;
    case 2:
      gtk_window_set_title(GTK_WINDOW(dialog_), text.c_str());
      break;
    default:
      break;
  }
}

void ProgressBox::setValue(int op, int channel, uint64_t value) {
  if (channel != 0)
    return;
  if (op == 0)
    position_ = value;
  else if (op == 1)
    position_ = value > UINT64_MAX - position_ ? UINT64_MAX : position_ + value;
}

void ProgressBox::setClock(Clock clock) {
  clock_ = clock ? clock : Clock(monotonicNow);
  startTime_ = clock_();
  estimated_ = false;
}

void ProgressBox::update() {
  if (!dialog_)
    return;
  if (style_ == Activity) {
    gtk_progress_bar_pulse(bar_);
  } else {
    uint64_t done = position_ > startPosition_ ? position_ - startPosition_ : 0;
    double fraction = 0.0;
    if (total_ != 0)
      fraction = done >= total_ ? 1.0 : static_cast<double>(done) / static_cast<double>(total_);
    gtk_progress_bar_set_fraction(bar_, fraction);
    if (textHold_ == 0) {
      std::string percent = std::to_string(static_cast<int>(fraction * 100.0)) + "%";
      gtk_progress_bar_set_text(bar_, percent.c_str());
    } else {
      --textHold_;
    }
    updateTimeEstimate(fraction);
    progress_.set(formatSizeOf(done, total_));
    progress_.flush();
  }
  file_.flush();
  target_.flush();
}

// The estimate is taken from a monotonic clock, so a change of the system
// time cannot make it jump or go negative, and it is recomputed at most
// once a second.
void ProgressBox::updateTimeEstimate(double fraction) {
  if (!time_.label || fraction <= 0.0)
    return;
  int64_t now = clock_();
  if (estimated_ && now - lastEstimateTime_ < kMicroseconds)
    return;
  double elapsed = now > startTime_ ? static_cast<double>(now - startTime_) / kMicroseconds : 0.0;
  double remaining = (1.0 - fraction) * elapsed / fraction;
  if (!std::isfinite(remaining) || remaining < 0.0)
    remaining = 0.0;
  if (remaining > kMaxEstimateSeconds)
    remaining = kMaxEstimateSeconds;
  time_.set(formatDuration(static_cast<uint32_t>(remaining)));
  time_.flush();
  lastEstimateTime_ = now;
  estimated_ = true;
}

gboolean ProgressBox::onTimer(gpointer self) {
  static_cast<ProgressBox*>(self)->update();
  return TRUE;
}

gboolean ProgressBox::onDelete(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

void ProgressBox::onResponse(GtkDialog*, gint response, gpointer self) {
  static_cast<ProgressBox*>(self)->response_ = response;
}

// The parent's destruction takes the box with it: forget the widgets.
void ProgressBox::onDestroy(GtkWidget*, gpointer data) {
  ProgressBox* self = static_cast<ProgressBox*>(data);
  if (self->response_ == -1)
    self->response_ = GTK_RESPONSE_DELETE_EVENT;
  self->dialog_ = nullptr;
  self->bar_ = nullptr;
  self->progress_.label = self->time_.label = self->file_.label = self->target_.label = nullptr;
  if (self->timer_) {
    g_source_remove(self->timer_);
    self->timer_ = 0;
  }
}

}  // namespace gtk
