#include "shell/gtk/SystemOpen.h"

#include <gio/gio.h>
#include <glib.h>

#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/MessageBox.h"

namespace {

bool hasScheme(const std::string& path) {
  gchar* scheme = g_uri_parse_scheme(path.c_str());
  bool result = scheme != nullptr;
  g_free(scheme);
  return result;
}

// The desktop's default program for the content type of a local file;
// false when it has none (or the file's type cannot be told).
bool hasDefaultApplication(const std::string& uri) {
  GFile* file = g_file_new_for_uri(uri.c_str());
  GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                      G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
  bool result = false;
  if (info) {
    const char* type = g_file_info_get_content_type(info);
    GAppInfo* app = type ? g_app_info_get_default_for_type(type, FALSE) : nullptr;
    if (app) {
      result = true;
      g_object_unref(app);
    }
    g_object_unref(info);
  }
  g_object_unref(file);
  return result;
}

// xdg-open, run from an argument vector without a shell.
bool spawnXdgOpen(const std::string& uri) {
  gchar* program = g_find_program_in_path("xdg-open");
  if (!program)
    return false;
  gchar* argv[] = {program, const_cast<gchar*>(uri.c_str()), nullptr};
  GError* error = nullptr;
  bool started = g_spawn_async(nullptr, argv, nullptr, G_SPAWN_STDOUT_TO_DEV_NULL, nullptr, nullptr,
                               nullptr, &error);
  if (!started) {
    dlog() << "SystemOpen(50): " << uri << " " << (error ? error->message : "") << "\n";
    g_clear_error(&error);
  }
  g_free(program);
  return started;
}

}  // namespace

std::string systemOpenUri(const std::string& path) {
  if (hasScheme(path))
    return path;
  gchar* name = g_filename_from_utf8(path.c_str(), -1, nullptr, nullptr, nullptr);
  if (!name) {
    dlog() << "SystemOpen(14): " << path << "\n";
    return std::string();
  }
  gchar* absolute;
  if (g_path_is_absolute(name)) {
    absolute = g_strdup(name);
  } else {
    gchar* current = g_get_current_dir();
    absolute = g_build_filename(current, name, nullptr);
    g_free(current);
  }
  gchar* uri = g_filename_to_uri(absolute, nullptr, nullptr);
  std::string result = uri ? uri : "";
  if (!uri)
    dlog() << "SystemOpen(14): " << path << "\n";
  g_free(uri);
  g_free(absolute);
  g_free(name);
  return result;
}

void systemOpen(const std::string& path, const char* parameters) {
  std::string uri = systemOpenUri(path);
  if (uri.empty())
    return;
  GError* error = nullptr;
  if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error))
    return;
  dlog() << "SystemOpen(21): " << uri << " " << (error ? error->message : "") << "\n";
  bool unassociated = error && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_NOT_SUPPORTED;
  g_clear_error(&error);
  bool isFile = g_str_has_prefix(uri.c_str(), "file:");
  if (isFile && !hasDefaultApplication(uri))
    unassociated = true;
  if (!unassociated && spawnXdgOpen(uri))
    return;
  messageBox(MessageBoxInformation,
             format(_("No program is associated with \"%1\".\n\nOpen it from your file manager "
                      "or choose a program there."),
                    markupEscape(path)));
}
