#include "ui/PropertiesDialog.h"

#include <cstdint>
#include <string>

#include "engine/RebuiltFile.h"
#include "shell/Intl.h"
#include "ui/BrowserTexts.h"
#include "shell/gtk/MessageBox.h"

namespace {

const uint32_t kAbsent = 0xFFFFFFFFu;

class PropertyRows {
 public:
  explicit PropertyRows(GtkWidget* vbox)
      : vbox_(vbox), group_(gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL)) {}
  ~PropertyRows() { g_object_unref(group_); }

  void heading(const char* title) {
    GtkWidget* label = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(label), ("<b>" + markupEscape(title) + "</b>").c_str());
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    gtk_box_pack_start(GTK_BOX(vbox_), label, FALSE, FALSE, 0);
  }

  // The value is plain text: a file name with "&" or "<" shows as it is.
  void row(const char* caption, const std::string& value) {
    GtkWidget* hbox = gtk_hbox_new(FALSE, 8);
    GtkWidget* label = gtk_label_new(nullptr);
    std::string markup = "<i><u><span color=\"dark green\">" + markupEscape(caption) +
                         ":</span></u></i>";
    gtk_label_set_markup(GTK_LABEL(label), markup.c_str());
    gtk_misc_set_alignment(GTK_MISC(label), 1.0f, 0.5f);
    gtk_size_group_add_widget(group_, label);
    gtk_box_pack_start(GTK_BOX(hbox), label, FALSE, FALSE, 0);
    GtkWidget* text = gtk_label_new(value.c_str());
    gtk_misc_set_alignment(GTK_MISC(text), 0.0f, 0.5f);
    gtk_label_set_selectable(GTK_LABEL(text), TRUE);
    gtk_box_pack_start(GTK_BOX(hbox), text, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(vbox_), hbox, FALSE, FALSE, 0);
  }

  void rowIfPresent(const char* caption, uint32_t value) {
    if (value != kAbsent)
      row(caption, std::to_string(value));
  }

  void separator() { gtk_box_pack_start(GTK_BOX(vbox_), gtk_hseparator_new(), FALSE, FALSE, 0); }

 private:
  GtkWidget* vbox_;
  GtkSizeGroup* group_;
};

}  // namespace

void showPropertiesDialog(GtkWindow* parent, const FileModule::File& file) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons(
      _("Properties"), parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_STOCK_CLOSE, GTK_RESPONSE_CLOSE, nullptr);
  GtkWidget* vbox = gtk_vbox_new(FALSE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(vbox), 8);
  gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog)->vbox), vbox, TRUE, TRUE, 0);

  const Attributes& a = file.attributes;
  PropertyRows rows(vbox);
  rows.heading(_("File Information"));
  rows.row(_("Type"), a.getString("t"));
  rows.row(_("Offset"), std::to_string(file.offset));
  rows.row(_("Size"), std::to_string(file.size));
  int32_t fs = a.getInt32("fs", -1);
  if (fs != -1)
    rows.row(_("File System"), std::to_string(fs));
  std::string name = a.getString("fn");
  if (!name.empty())
    rows.row(_("File Name"), name);
  if (a.getBool("fragmented", false))
    rows.row(_("Fragmented"), _("Yes"));
  // The plain way of a file's origin goes without saying.
  if (rebuiltOf(file) != plainRebuiltOf(file)) rows.row(_("Rebuilt"), rebuiltText(rebuiltOf(file)));
  if (isPartial(file))
    rows.row(_("Partial"), _("Yes: it could not be proven whole"));

  uint32_t thumbnail = a.getUint32("thumbnail_offset", kAbsent);
  if (thumbnail != kAbsent) {
    rows.separator();
    rows.heading(_("Thumbnail Information"));
    rows.row(_("Offset"), std::to_string(thumbnail));
    rows.rowIfPresent(_("Size"), a.getUint32("thumbnail_size", kAbsent));
    rows.rowIfPresent(_("Width"), a.getUint32("thumbnail_width", kAbsent));
    rows.rowIfPresent(_("Height"), a.getUint32("thumbnail_height", kAbsent));
    rows.rowIfPresent(_("Bits per sample"), a.getUint32("thumbnail_bits_per_sample", kAbsent));
    rows.rowIfPresent(_("Samples"), a.getUint32("thumbnail_samples", kAbsent));
    rows.rowIfPresent(_("Compression"), a.getUint32("thumbnail_compression", kAbsent));
  }

  gtk_window_set_default_size(GTK_WINDOW(dialog), 320, -1);
  gtk_widget_show_all(dialog);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}
