// The dialog that asks for a byte range: an offset and a size.
//
// The offset runs from 0 to the end limit, the size from 0 to the size
// limit.  OK is accepted only for a non-empty range that ends inside the end
// limit; otherwise the values are corrected (see reviewOffsetAndSize) and
// the dialog is shown again.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

// The re-asking rule, on the values read from the dialog.  True: accept.
// False: show the dialog again with the values as adjusted here - a range
// past the end limit keeps its offset (clamped to the end limit) and gets
// the size that still fits; an empty range is shown unchanged.
bool reviewOffsetAndSize(int64_t& offset, int64_t& size, int64_t endLimit);

class OffsetSizeDialog {
 public:
  OffsetSizeDialog(const char* title, GtkWindow* parent, int64_t offset, int64_t size,
                   int64_t sizeLimit, int64_t endLimit);
  ~OffsetSizeDialog();
  OffsetSizeDialog(const OffsetSizeDialog&) = delete;
  OffsetSizeDialog& operator=(const OffsetSizeDialog&) = delete;

  // Runs until an acceptable range or any answer but OK.  True with the
  // range in offset() and size().
  bool run();
  int64_t offset() const { return offset_; }
  int64_t size() const { return size_; }

  // Widget names, so that tests can find the spin buttons.
  static const char* const kOffsetName;  // "offset"
  static const char* const kSizeName;    // "size"

 private:
  GtkWidget* addRow(GtkWidget* table, int row, const char* label, int64_t value, int64_t limit);

  GtkWidget* dialog_ = nullptr;
  GtkWidget* offsetSpin_ = nullptr;
  GtkWidget* sizeSpin_ = nullptr;
  int64_t offset_;
  int64_t size_;
  int64_t endLimit_;
};

// askOffsetAndSize of the window base, for callers without a window.
bool askOffsetAndSize(const char* title, GtkWindow* parent, int64_t& offset, int64_t& size,
                      int64_t sizeLimit, int64_t endLimit);
