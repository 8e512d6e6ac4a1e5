#include "ui/PreferencesDialog.h"

#include "shell/Config.h"
#include "shell/Intl.h"

namespace {

const PreferenceSetting kSettings[] = {
    {1, "Icon Width", 96, 1, 999},
    {1, "Icon Height", 72, 1, 999},
    {1, "Minimal Image Width", 0, 0, 999},
    {1, "Minimal Image Height", 0, 0, 999},
};
const int kSettingCount = sizeof kSettings / sizeof kSettings[0];

GtkWidget* spinFor(const PreferenceSetting& setting, const ConfigRecord& config) {
  GtkWidget* spin = gtk_spin_button_new_with_range(setting.minimum, setting.maximum, 1);
  gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), 0);
  gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(spin), TRUE);
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), config.getInt(setting.key, setting.defaultValue));
  gtk_entry_set_activates_default(GTK_ENTRY(spin), TRUE);
  return spin;
}

// "caption  [w] x [h]"
void addRow(GtkWidget* vbox, GtkSizeGroup* group, const char* caption, GtkWidget* first,
            GtkWidget* second) {
  GtkWidget* hbox = gtk_hbox_new(FALSE, 4);
  GtkWidget* label = gtk_label_new(caption);
  gtk_misc_set_alignment(GTK_MISC(label), 1.0f, 0.5f);
  gtk_size_group_add_widget(group, label);
  gtk_box_pack_start(GTK_BOX(hbox), label, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(hbox), first, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(hbox), gtk_label_new(_("x")), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(hbox), second, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(vbox), hbox, FALSE, FALSE, 0);
}

}  // namespace

const PreferenceSetting* preferenceSettings(int* count) {
  if (count)
    *count = kSettingCount;
  return kSettings;
}

bool showPreferencesDialog(GtkWindow* parent, ConfigRecord& config) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons(
      _("Preferences"), parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, GTK_STOCK_OK, GTK_RESPONSE_OK, nullptr);
  gtk_dialog_set_alternative_button_order(GTK_DIALOG(dialog), GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL,
                                          -1);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);

  GtkWidget* vbox = gtk_vbox_new(FALSE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(vbox), 8);
  gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog)->vbox), vbox, TRUE, TRUE, 0);
  GtkWidget* frame = gtk_frame_new(_("Interface Settings"));
  gtk_box_pack_start(GTK_BOX(vbox), frame, FALSE, FALSE, 0);
  GtkWidget* rows = gtk_vbox_new(FALSE, 4);
  gtk_container_set_border_width(GTK_CONTAINER(rows), 8);
  gtk_container_add(GTK_CONTAINER(frame), rows);

  GtkWidget* spins[kSettingCount];
  for (int i = 0; i < kSettingCount; ++i)
    spins[i] = spinFor(kSettings[i], config);
  GtkSizeGroup* group = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
  addRow(rows, group, _("Icon Size on the screen"), spins[0], spins[1]);
  addRow(rows, group, _("Hide Images smaller than"), spins[2], spins[3]);
  g_object_unref(group);

  gtk_widget_show_all(dialog);
  bool ok = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
  if (ok) {
    for (int i = 0; i < kSettingCount; ++i) {
      // A value typed but not yet confirmed is taken too, clamped to the range.
      gtk_spin_button_update(GTK_SPIN_BUTTON(spins[i]));
      config.set(kSettings[i].key, static_cast<int32_t>(
                                       gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(spins[i]))));
    }
  }
  gtk_widget_destroy(dialog);
  return ok;
}
