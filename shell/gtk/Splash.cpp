#include "shell/gtk/Splash.h"

#include <string>

#include "shell/Config.h"

namespace {

guint millisecondsOf(const ConfigRecord& config, const char* key) {
  int32_t value = config.getInt(key, 3000);
  return value < 0 ? 0u : static_cast<guint>(value);
}

gboolean leaveLoop(gpointer) {
  gtk_main_quit();
  return FALSE;
}

// A splash destroyed by someone else must not be destroyed again.
void forgetTimer(GtkWidget*, gpointer source) { g_source_remove(GPOINTER_TO_UINT(source)); }

gboolean destroySplash(gpointer window) {
  g_signal_handlers_disconnect_matched(window, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                       reinterpret_cast<gpointer>(forgetTimer), nullptr);
  gtk_widget_destroy(GTK_WIDGET(window));
  return FALSE;
}

}  // namespace

GtkWidget* showSplash(const ConfigRecord& config) {
  std::string image = config.getString("Splash Image");
  if (image.empty())
    return nullptr;
  std::string path =
      g_path_is_absolute(image.c_str()) ? image : config.getString("Program Path") + "/" + image;

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), config.getString("Program Name").c_str());
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  gtk_container_add(GTK_CONTAINER(window), gtk_image_new_from_file(path.c_str()));
  gtk_widget_show_all(window);

  g_timeout_add(millisecondsOf(config, "Splash Foreground Time"), leaveLoop, nullptr);
  gtk_main();

  guint source = g_timeout_add(millisecondsOf(config, "Splash Background Time"), destroySplash,
                               window);
  g_signal_connect(window, "destroy", G_CALLBACK(forgetTimer), GUINT_TO_POINTER(source));
  return window;
}
