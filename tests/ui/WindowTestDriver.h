// Drives the main windows' dialogs through their real widgets, as a user
// would: a 20 ms timeout looks for the next expected dialog among the
// toplevel windows and answers it.  Dialogs nobody expected are closed
// after a few seconds and recorded, so a wrong turn fails instead of hanging.
#pragma once

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <ftw.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wintest {

inline bool gtkReady() {
  static bool ready = gtk_init_check(nullptr, nullptr);
  return ready;
}

inline void collectWidgets(GtkWidget* widget, GType type, std::vector<GtkWidget*>& out) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type)) out.push_back(widget);
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* c = children; c; c = c->next) collectWidgets(GTK_WIDGET(c->data), type, out);
    g_list_free(children);
  }
}

inline std::vector<GtkWidget*> widgetsOf(GtkWidget* root, GType type) {
  std::vector<GtkWidget*> out;
  collectWidgets(root, type, out);
  return out;
}

inline GtkWidget* widgetNamed(GtkWidget* root, const char* name) {
  for (GtkWidget* w : widgetsOf(root, GTK_TYPE_WIDGET))
    if (gtk_widget_get_name(w) && std::string(gtk_widget_get_name(w)) == name) return w;
  return nullptr;
}

// The plain texts of every label in a window, one per line.
inline std::string labelTexts(GtkWidget* root) {
  std::string text;
  for (GtkWidget* w : widgetsOf(root, GTK_TYPE_LABEL)) {
    text += gtk_label_get_text(GTK_LABEL(w));
    text += "\n";
  }
  return text;
}

inline std::string titleOf(GtkWidget* window) {
  const char* t = gtk_window_get_title(GTK_WINDOW(window));
  return t ? t : "";
}

// The newest mapped toplevel with that title, or null.
inline GtkWidget* shownWindow(const std::string& title) {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next) {
    GtkWidget* widget = GTK_WIDGET(w->data);
    if (GTK_IS_WINDOW(widget) && gtk_widget_get_mapped(widget) && titleOf(widget) == title)
      found = widget;
  }
  g_list_free(windows);
  return found;
}

// Presses Cancel on the progress box, as the user does during a copy.
inline bool cancelProgressBox() {
  GtkWidget* box = shownWindow("Please Wait");
  if (!box) return false;
  gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_CANCEL);
  return true;
}

class DialogScript {
 public:
  // act returns true when it answered the dialog, false to be called again
  // at the next tick (for choosers that load their folder).
  typedef std::function<bool(GtkWidget*)> Action;

  DialogScript() { timer_ = g_timeout_add(20, &DialogScript::tick, this); }
  ~DialogScript() { g_source_remove(timer_); }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  DialogScript& then(const std::string& title, Action act) {
    steps_.push_back({title, act});
    return *this;
  }
  bool finished() const { return next_ == steps_.size(); }

  std::vector<std::string> handled;     // titles answered, in order
  std::vector<std::string> texts;       // their label texts
  std::vector<std::string> unexpected;  // "title: texts" of dialogs closed by the watchdog

 private:
  struct Step {
    std::string title;
    Action act;
  };

  static gboolean tick(gpointer data) {
    static_cast<DialogScript*>(data)->step();
    return TRUE;
  }

  void step() {
    if (next_ < steps_.size()) {
      if (GtkWidget* dialog = shownWindow(steps_[next_].title)) {
        idle_ = 0;
        if (!acted_) {
          handled.push_back(steps_[next_].title);
          texts.push_back(labelTexts(dialog));
          acted_ = true;
          shoot(steps_[next_].title);
        }
        if (steps_[next_].act(dialog)) {
          ++next_;
          acted_ = false;
        }
        return;
      }
    }
    // Watchdog: a modal dialog that no step expects (the progress box of a
    // running copy is left alone).
    GtkWidget* stray = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
      GtkWidget* widget = GTK_WIDGET(w->data);
      if (GTK_IS_DIALOG(widget) && gtk_widget_get_mapped(widget) &&
          gtk_window_get_modal(GTK_WINDOW(widget)) && titleOf(widget) != "Please Wait")
        stray = widget;
    }
    g_list_free(windows);
    if (!stray) {
      idle_ = 0;
      return;
    }
    if (++idle_ < 150) return;
    idle_ = 0;
    unexpected.push_back(titleOf(stray) + ": " + labelTexts(stray));
    gtk_dialog_response(GTK_DIALOG(stray), GTK_RESPONSE_DELETE_EVENT);
  }

  // With MZK_SHOT_DIR set, each dialog answered is photographed first.
  static void shoot(const std::string& title) {
    const char* folder = getenv("MZK_SHOT_DIR");
    if (!folder) return;
    static int count = 0;
    while (gtk_events_pending()) gtk_main_iteration();
    std::string name = std::to_string(++count) + "-" + title;
    for (char& c : name)
      if (c == ' ' || c == '/') c = '_';
    const std::string command =
        std::string("import -window root '") + folder + "/" + name + ".png'";
    if (system(command.c_str()) != 0) {}
  }

  guint timer_ = 0;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool acted_ = false;
  int idle_ = 0;
};

inline DialogScript::Action respond(int response) {
  return [response](GtkWidget* dialog) {
    gtk_dialog_response(GTK_DIALOG(dialog), response);
    return true;
  };
}

// Answers a file chooser with `path` once the chooser reports it (choosers
// load folders asynchronously).  Save: folder + typed name; open: the file;
// select folder: the folder.
inline DialogScript::Action choose(const std::string& path) {
  auto started = std::make_shared<bool>(false);
  auto polls = std::make_shared<int>(0);
  return [path, started, polls](GtkWidget* dialog) {
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    GtkFileChooserAction action = gtk_file_chooser_get_action(chooser);
    // Set again on every poll until the chooser reports it: a folder that
    // finishes loading late (the one it opened in) can undo an early choice,
    // and the focused name entry completes a typed "card1" to an existing
    // "card1.img".
    const bool first = !*started;
    *started = true;
    if (action == GTK_FILE_CHOOSER_ACTION_SAVE) {
      gtk_window_set_focus(GTK_WINDOW(dialog), nullptr);
      const size_t slash = path.find_last_of('/');
      gchar* folder = gtk_file_chooser_get_current_folder(chooser);
      if (first || !folder || path.substr(0, slash) != folder)
        gtk_file_chooser_set_current_folder(chooser, path.substr(0, slash).c_str());
      g_free(folder);
      gtk_file_chooser_set_current_name(chooser, path.substr(slash + 1).c_str());
    } else if (action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER) {
      gchar* folder = gtk_file_chooser_get_current_folder(chooser);
      if (first || !folder || path != folder) gtk_file_chooser_set_current_folder(chooser, path.c_str());
      g_free(folder);
      gtk_file_chooser_unselect_all(chooser);
    } else if (first) {
      gtk_file_chooser_set_filename(chooser, path.c_str());
    }
    if (first) return false;
    gchar* now = gtk_file_chooser_get_filename(chooser);
    const bool ready = now && path == now;
    g_free(now);
    if (!ready) {
      // Give up after ten seconds rather than hang the test program (a
      // sanitizer build loads folders slowly).
      if (++*polls > 500) {
        ADD_FAILURE() << "the chooser never showed " << path;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        return true;
      }
      return false;
    }
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    return true;
  };
}

// Types values into the offset and size spin buttons and presses OK.
inline DialogScript::Action enterRange(double offset, double size,
                                       std::vector<std::pair<double, double>>* shown = nullptr) {
  return [=](GtkWidget* dialog) {
    GtkWidget* o = widgetNamed(dialog, "offset");
    GtkWidget* s = widgetNamed(dialog, "size");
    if (!o || !s) return false;
    if (shown)
      shown->push_back({gtk_spin_button_get_value(GTK_SPIN_BUTTON(o)),
                        gtk_spin_button_get_value(GTK_SPIN_BUTTON(s))});
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(o), offset);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(s), size);
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    return true;
  };
}

// Records the values the dialog shows, then answers.
inline DialogScript::Action noteRange(std::vector<std::pair<double, double>>* shown,
                                      int response) {
  return [=](GtkWidget* dialog) {
    GtkWidget* o = widgetNamed(dialog, "offset");
    GtkWidget* s = widgetNamed(dialog, "size");
    if (!o || !s) return false;
    shown->push_back({gtk_spin_button_get_value(GTK_SPIN_BUTTON(o)),
                      gtk_spin_button_get_value(GTK_SPIN_BUTTON(s))});
    gtk_dialog_response(GTK_DIALOG(dialog), response);
    return true;
  };
}

typedef mzktest::TempDir TempFolder;

inline std::string readWhole(const std::string& path) {
  gchar* data = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &data, &length, nullptr)) return std::string("<missing>");
  std::string text(data, length);
  g_free(data);
  return text;
}

inline void writeWhole(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(g_file_set_contents(path.c_str(), bytes.data(), bytes.size(), nullptr));
}

// Bytes that differ at every position, so a shifted copy cannot pass.
inline std::string patternBytes(size_t size, unsigned seed = 1) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(x >> 16);
  }
  return bytes;
}

}  // namespace wintest
