// The erase and format dialog.

#include "ui/EraseFormatDialog.h"

#include "device/FormatTools.h"
#include "shell/Intl.h"

namespace {

struct Widgets {
  GtkWidget* format = nullptr;
  GtkWidget* options = nullptr;
  GtkWidget* fileSystem = nullptr;
  GtkWidget* label = nullptr;
};

void onFormatToggled(GtkToggleButton* button, gpointer data) {
  gtk_widget_set_sensitive(static_cast<Widgets*>(data)->options, gtk_toggle_button_get_active(button));
}

// A FAT label holds 11 characters; switching to FAT cuts a longer one.
void onFileSystemChanged(GtkComboBox* list, gpointer data) {
  Widgets* w = static_cast<Widgets*>(data);
  gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(list));
  gtk_entry_set_max_length(GTK_ENTRY(w->label), static_cast<gint>(FormatTools::labelLimit(text ? text : "")));
  g_free(text);
}

GtkWidget* check(GtkWidget* box, const char* name, const char* label) {
  GtkWidget* button = gtk_check_button_new_with_mnemonic(label);
  gtk_widget_set_name(button, name);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(button), TRUE);
  gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
  return button;
}

GtkWidget* row(GtkWidget* box, GtkSizeGroup* group, const char* caption, GtkWidget* field) {
  GtkWidget* line = gtk_hbox_new(FALSE, 8);
  GtkWidget* label = gtk_label_new(caption);
  gtk_misc_set_alignment(GTK_MISC(label), 1.0f, 0.5f);
  gtk_size_group_add_widget(group, label);
  gtk_box_pack_start(GTK_BOX(line), label, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(line), field, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(box), line, FALSE, FALSE, 0);
  return line;
}

}  // namespace

bool askEraseFormat(GtkWindow* parent, bool offerErase, bool offerPartition, EraseFormatOptions& options) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons(offerErase ? _("Erase Media") : _("Format Drive"), parent,
                                                  GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                                  "gtk-no", GTK_RESPONSE_CANCEL, "gtk-yes", GTK_RESPONSE_OK, nullptr);
  gtk_dialog_set_alternative_button_order(GTK_DIALOG(dialog), GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL, -1);
  GtkWidget* box = gtk_vbox_new(FALSE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(box), 8);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), box, TRUE, TRUE, 0);

  GtkWidget* warning = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(warning), _("<span color=\"red\">Warning:</span> Data on this drive will be lost!\n\n"
                                             "Are you sure you want to continue?"));
  gtk_label_set_justify(GTK_LABEL(warning), GTK_JUSTIFY_CENTER);
  gtk_box_pack_start(GTK_BOX(box), warning, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), gtk_hseparator_new(), FALSE, FALSE, 0);

  GtkWidget* erase = offerErase ? check(box, "erase", _("_Erase Media")) : nullptr;
  GtkWidget* partition = offerPartition ? check(box, "partition", _("_Create Parititon")) : nullptr;
  Widgets w;
  w.format = check(box, "format", _("_Format Drive"));

  GtkWidget* frame = gtk_frame_new(_("Format Options"));
  w.options = gtk_vbox_new(FALSE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(w.options), 4);
  gtk_container_add(GTK_CONTAINER(frame), w.options);
  gtk_box_pack_start(GTK_BOX(box), frame, FALSE, FALSE, 0);
  GtkSizeGroup* group = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
  w.fileSystem = gtk_combo_box_text_new();
  gtk_widget_set_name(w.fileSystem, "filesystem");
  for (const char* name : {"FAT", "FAT32", "NTFS"}) gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w.fileSystem), name);
  row(w.options, group, _("File System:"), w.fileSystem);
  w.label = gtk_entry_new();
  gtk_widget_set_name(w.label, "label");
  row(w.options, group, _("Volume Label:"), w.label);
  g_object_unref(group);

  g_signal_connect(w.format, "toggled", G_CALLBACK(onFormatToggled), &w);
  g_signal_connect(w.fileSystem, "changed", G_CALLBACK(onFileSystemChanged), &w);
  gtk_combo_box_set_active(GTK_COMBO_BOX(w.fileSystem), 1);
  gtk_entry_set_text(GTK_ENTRY(w.label), "MEDIA");
  gtk_entry_set_activates_default(GTK_ENTRY(w.label), TRUE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_widget_show_all(dialog);

  const bool yes = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
  if (yes) {
    auto ticked = [](GtkWidget* button) {
      return button && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button));
    };
    options.erase = ticked(erase);
    options.createPartition = ticked(partition);
    options.format = ticked(w.format);
    gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(w.fileSystem));
    options.fileSystem = text ? text : "";
    g_free(text);
    options.label = gtk_entry_get_text(GTK_ENTRY(w.label));
  }
  gtk_widget_destroy(dialog);
  return yes;
}
