#include "shell/gtk/MessageBox.h"

#include "shell/Intl.h"
#include "shell/gtk/ResizableLabel.h"

namespace {

struct KindLook {
  const char* title;
  const char* icon;
  bool yesNo;
  const char* button;  // the single button of kinds without Yes and No
};

KindLook lookOf(int kind) {
  switch (kind) {
    case MessageBoxQuestion:
      return {N_("Question"), GTK_STOCK_DIALOG_QUESTION, true, nullptr};
    case MessageBoxWarning:
      return {N_("Warning"), GTK_STOCK_DIALOG_WARNING, true, nullptr};
    case MessageBoxInformation:
      return {N_("Information"), GTK_STOCK_DIALOG_INFO, false, GTK_STOCK_CLOSE};
    case MessageBoxNotice:
      return {N_("Information"), GTK_STOCK_DIALOG_INFO, false, GTK_STOCK_OK};
    default:
      return {N_("Error"), GTK_STOCK_DIALOG_ERROR, false, GTK_STOCK_CLOSE};
  }
}

}  // namespace

std::string markupEscape(const std::string& text) {
  gchar* escaped = g_markup_escape_text(text.data(), static_cast<gssize>(text.size()));
  std::string result(escaped);
  g_free(escaped);
  return result;
}

int messageBox(int kind, const std::string& text, GtkWindow* parent, bool defaultNo,
               const char* checkLabel) {
  KindLook look = lookOf(kind);
  GtkWidget* dialog = gtk_dialog_new_with_buttons(
      nullptr, parent,
      GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT | GTK_DIALOG_NO_SEPARATOR),
      nullptr, nullptr);
  gtk_window_set_title(GTK_WINDOW(dialog), _(look.title));
  // A box of its own (start-up errors) stands in the middle of the screen.
  gtk_window_set_position(GTK_WINDOW(dialog),
                          parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);

  gint border = 0, spacing = 0;
  gtk_widget_style_get(dialog, "action-area-border", &border, "button-spacing", &spacing, nullptr);

  GtkWidget* vbox = gtk_vbox_new(FALSE, spacing);
  gtk_container_set_border_width(GTK_CONTAINER(vbox), border);
  gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog)->vbox), vbox, FALSE, FALSE, 0);

  GtkWidget* hbox = gtk_hbox_new(FALSE, spacing);
  gtk_box_pack_start(GTK_BOX(vbox), hbox, FALSE, FALSE, 0);
  GtkWidget* icon = gtk_image_new_from_stock(look.icon, GTK_ICON_SIZE_DIALOG);
  gtk_misc_set_alignment(GTK_MISC(icon), 0.5f, 0.0f);
  gtk_box_pack_start(GTK_BOX(hbox), icon, FALSE, FALSE, 0);
  GtkWidget* textBox = gtk_vbox_new(FALSE, 0);
  gtk_box_pack_start(GTK_BOX(hbox), textBox, TRUE, TRUE, 0);
  GtkWidget* label = resizableLabelNew(text.c_str(), 500);
  gtk_box_pack_start(GTK_BOX(textBox), label, TRUE, TRUE, 0);

  GtkWidget* check = nullptr;
  if (checkLabel) {
    check = gtk_check_button_new_with_mnemonic(checkLabel);
    gtk_box_pack_start(GTK_BOX(vbox), check, FALSE, FALSE, 0);
  }

  GtkWidget* defaultButton;
  if (look.yesNo) {
    GtkWidget* no = gtk_dialog_add_button(GTK_DIALOG(dialog), GTK_STOCK_NO, GTK_RESPONSE_REJECT);
    GtkWidget* yes = gtk_dialog_add_button(GTK_DIALOG(dialog), GTK_STOCK_YES, GTK_RESPONSE_ACCEPT);
    gtk_dialog_set_alternative_button_order(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT,
                                            GTK_RESPONSE_REJECT, -1);
    defaultButton = defaultNo ? no : yes;
  } else {
    defaultButton = gtk_dialog_add_button(GTK_DIALOG(dialog), look.button, GTK_RESPONSE_REJECT);
  }
  GTK_WIDGET_SET_FLAGS(defaultButton, GTK_CAN_DEFAULT);
  gtk_widget_grab_default(defaultButton);
  gtk_widget_grab_focus(defaultButton);

  gtk_widget_show_all(dialog);
  resizableLabelSetMinWidth(label, 100);
  gint response = gtk_dialog_run(GTK_DIALOG(dialog));

  int result = 0;
  if (look.yesNo && response != GTK_RESPONSE_ACCEPT)
    result |= MessageBoxNotYes;
  if (check && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check)))
    result |= MessageBoxChecked;
  gtk_widget_destroy(dialog);
  return result;
}
