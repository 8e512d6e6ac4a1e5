// The offset and size dialog.

#include "ui/OffsetSizeDialog.h"

#include <cmath>

#include "shell/Intl.h"

const char* const OffsetSizeDialog::kOffsetName = "offset";
const char* const OffsetSizeDialog::kSizeName = "size";

bool reviewOffsetAndSize(int64_t& offset, int64_t& size, int64_t endLimit) {
  if (endLimit < 0) endLimit = 0;
  if (offset < 0) offset = 0;
  if (size < 0) size = 0;
  // offset + size > endLimit, written so that it cannot wrap.
  if (size > endLimit || offset > endLimit - size) {
    if (offset > endLimit) offset = endLimit;
    size = endLimit - offset;
    return false;
  }
  return size != 0;
}

namespace {

// Spin buttons hold doubles; whole byte counts up to 2^53 are exact.
int64_t spinValue(GtkWidget* spin) {
  gtk_spin_button_update(GTK_SPIN_BUTTON(spin));
  const double value = std::trunc(gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin)));
  if (!(value > 0)) return 0;
  if (value >= 9.2e18) return INT64_MAX;
  return static_cast<int64_t>(value);
}

}  // namespace

OffsetSizeDialog::OffsetSizeDialog(const char* title, GtkWindow* parent, int64_t offset,
                                   int64_t size, int64_t sizeLimit, int64_t endLimit)
    : offset_(offset), size_(size), endLimit_(endLimit) {
  dialog_ = gtk_dialog_new_with_buttons(
      title, parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, GTK_STOCK_OK, GTK_RESPONSE_OK, nullptr);
  gtk_dialog_set_alternative_button_order(GTK_DIALOG(dialog_), GTK_RESPONSE_OK,
                                          GTK_RESPONSE_CANCEL, -1);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog_), GTK_RESPONSE_OK);

  GtkWidget* table = gtk_table_new(2, 2, FALSE);
  gtk_container_set_border_width(GTK_CONTAINER(table), 8);
  gtk_table_set_col_spacings(GTK_TABLE(table), 8);
  gtk_table_set_row_spacings(GTK_TABLE(table), 4);
  offsetSpin_ = addRow(table, 0, _("O_ffset"), offset, endLimit);
  sizeSpin_ = addRow(table, 1, _("_Size"), size, sizeLimit);
  gtk_widget_set_name(offsetSpin_, kOffsetName);
  gtk_widget_set_name(sizeSpin_, kSizeName);
  gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog_)->vbox), table, TRUE, TRUE, 0);
  gtk_widget_show_all(table);
}

GtkWidget* OffsetSizeDialog::addRow(GtkWidget* table, int row, const char* label, int64_t value,
                                    int64_t limit) {
  GtkWidget* caption = gtk_label_new_with_mnemonic(label);
  gtk_misc_set_alignment(GTK_MISC(caption), 1.0f, 0.5f);
  gtk_table_attach(GTK_TABLE(table), caption, 0, 1, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
  const double upper = limit > 0 ? static_cast<double>(limit) : 0.0;
  GtkWidget* spin = gtk_spin_button_new_with_range(0.0, upper, 1.0);
  gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), 0);
  gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(spin), TRUE);
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), static_cast<double>(value));
  gtk_entry_set_activates_default(GTK_ENTRY(spin), TRUE);
  gtk_entry_set_width_chars(GTK_ENTRY(spin), 20);
  gtk_label_set_mnemonic_widget(GTK_LABEL(caption), spin);
  gtk_table_attach(GTK_TABLE(table), spin, 1, 2, row, row + 1,
                   GtkAttachOptions(GTK_EXPAND | GTK_FILL), GTK_FILL, 0, 0);
  return spin;
}

OffsetSizeDialog::~OffsetSizeDialog() {
  if (dialog_) gtk_widget_destroy(dialog_);
}

bool OffsetSizeDialog::run() {
  for (;;) {
    if (gtk_dialog_run(GTK_DIALOG(dialog_)) != GTK_RESPONSE_OK) return false;
    int64_t offset = spinValue(offsetSpin_);
    int64_t size = spinValue(sizeSpin_);
    if (reviewOffsetAndSize(offset, size, endLimit_)) {
      offset_ = offset;
      size_ = size;
      return true;
    }
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(offsetSpin_), static_cast<double>(offset));
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(sizeSpin_), static_cast<double>(size));
  }
}

bool askOffsetAndSize(const char* title, GtkWindow* parent, int64_t& offset, int64_t& size,
                      int64_t sizeLimit, int64_t endLimit) {
  OffsetSizeDialog dialog(title, parent, offset, size, sizeLimit, endLimit);
  if (!dialog.run()) return false;
  offset = dialog.offset();
  size = dialog.size();
  return true;
}
