#include "ui/AboutDialog.h"

#include <string>

#include "shell/Config.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/MessageBox.h"
#include "shell/gtk/SystemOpen.h"

#ifndef MZK_REVISION
#define MZK_REVISION "100218"
#endif

namespace {

void openLink(GtkLinkButton*, const gchar* link, gpointer) { systemOpen(link ? link : ""); }

GtkWidget* centredLabel(const std::string& markup) {
  GtkWidget* label = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(label), markup.c_str());
  gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
  return label;
}

GtkWidget* centredLink(const char* uri, const char* label) {
  GtkWidget* hbox = gtk_hbox_new(FALSE, 0);
  gtk_box_pack_start(GTK_BOX(hbox), gtk_link_button_new_with_label(uri, label), TRUE, FALSE, 0);
  return hbox;
}

}  // namespace

void showAboutDialog(GtkWindow* parent, const ConfigRecord& config) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons(
      _("About"), parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_STOCK_CLOSE, GTK_RESPONSE_CLOSE, nullptr);
  GtkWidget* vbox = gtk_vbox_new(FALSE, 0);
  gtk_container_set_border_width(GTK_CONTAINER(vbox), 8);
  gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog)->vbox), vbox, TRUE, TRUE, 0);

  std::string icon = config.getString("Program Path") + "/" + config.getString("Program Icon");
  gtk_box_pack_start(GTK_BOX(vbox), gtk_image_new_from_file(icon.c_str()), FALSE, FALSE, 0);

  std::string revision = format(_("revision %1"), MZK_REVISION);
  gtk_box_pack_start(
      GTK_BOX(vbox),
      centredLabel(format("<span size=\"xx-large\" weight=\"bold\" style=\"italic\">%1</span>\n"
                          "<span weight=\"bold\" style=\"italic\">(%2)</span>",
                          markupEscape(config.getString("Program Name with Version")),
                          markupEscape(revision))),
      FALSE, FALSE, 0);
  gtk_box_pack_start(
      GTK_BOX(vbox),
      centredLabel(format("\n<span size=\"x-large\" weight=\"bold\">%1</span>",
                          markupEscape(_("Varlo")))),
      FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(vbox),
                     centredLink(_("https://varlo.example.com/"), _("Varlo on the web")), FALSE,
                     FALSE, 0);
  gtk_box_pack_start(
      GTK_BOX(vbox),
      centredLabel(format("\n<span size=\"large\">%1</span>",
                          markupEscape(_("Built with GTK+, GdkPixbuf, GLib and zlib")))),
      FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(vbox), centredLink(_("https://www.gtk.org/"), _("The GTK+ toolkit")),
                     FALSE, FALSE, 0);

  GtkLinkButtonUriFunc previous = gtk_link_button_set_uri_hook(openLink, nullptr, nullptr);
  gtk_widget_show_all(dialog);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_link_button_set_uri_hook(previous, nullptr, nullptr);
  gtk_widget_destroy(dialog);
}
