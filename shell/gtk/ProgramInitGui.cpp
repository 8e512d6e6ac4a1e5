#include "shell/gtk/ProgramInitGui.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Intl.h"
#include "shell/ProgramInit.h"

bool setDefaultWindowIcon(const ConfigRecord& config) {
  std::string path = config.getString("Program Path") + "/" + config.getString("Program Icon");
  GdkPixbuf* icon = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  if (!icon)
    return false;
  GList* list = g_list_append(nullptr, icon);
  gtk_window_set_default_icon_list(list);
  g_list_free(list);
  g_object_unref(icon);
  return true;
}

int ProgramInit(ConfigRecord& config, int* argc, char*** argv) {
  if (programInitCore(config, *argc, *argv) != 0)
    return -1;
  if (!gtk_init_check(argc, argv)) {
    dlog() << "ProgramInit(44)\n";
    // Started on a server or over ssh without X: say why, and what works there.
    fprintf(stderr, "%s\n",
            _("mzk: cannot open a display; mzk is a program with windows.\n"
              "mzk-recover does the same scan and recovery without one, for example:\n"
              "  mzk-recover -o recovered card.img"));
    return -1;
  }
  programInitLocale(config);
  setDefaultWindowIcon(config);
  return 0;
}
