// Drives the windows and dialogs through their real widgets, as a user
// would: a 20 ms timeout looks for the next expected dialog among the
// toplevel windows and answers it.  Dialogs nobody expected are closed
// after a few seconds and recorded, so a wrong turn fails instead of hanging.
// Waits are on conditions, each with a generous upper bound, never on time
// alone: a loaded machine or a sanitizer build only makes them slower.
#pragma once

#include "tests/support/TempDir.h"

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "shell/Config.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wintest {

// Upper bound of every wait, in seconds.
const int kPatience = 60;

inline bool gtkReady() {
  static bool ready = gtk_init_check(nullptr, nullptr);
  return ready;
}

// The widgets of that type in a tree, in order.
inline std::vector<GtkWidget*> widgetsOf(GtkWidget* root, GType type) {
  std::vector<GtkWidget*> out;
  if (G_TYPE_CHECK_INSTANCE_TYPE(root, type)) out.push_back(root);
  if (GTK_IS_CONTAINER(root)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    for (GList* c = children; c; c = c->next)
      for (GtkWidget* w : widgetsOf(GTK_WIDGET(c->data), type)) out.push_back(w);
    g_list_free(children);
  }
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

// The button of a dialog that shows this stock label ("gtk-yes"), or null.
inline GtkWidget* stockButton(GtkWidget* dialog, const char* stock) {
  for (GtkWidget* b : widgetsOf(dialog, GTK_TYPE_BUTTON))
    if (gtk_button_get_label(GTK_BUTTON(b)) && std::string(gtk_button_get_label(GTK_BUTTON(b))) == stock)
      return b;
  return nullptr;
}

// Runs the events that are ready now.
inline void pump() {
  while (gtk_events_pending()) gtk_main_iteration();
}

// Runs the main loop until `done` holds; false when it did not within kPatience.
inline bool waitFor(const std::function<bool()>& done) {
  const gint64 deadline = g_get_monotonic_time() + kPatience * G_USEC_PER_SEC;
  while (!done()) {
    if (g_get_monotonic_time() > deadline) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
  }
  return true;
}

// What the window manager sends when the title bar's close button is pressed.
inline void closeWindow(GtkWidget* window) {
  GdkEvent* event = gdk_event_new(GDK_DELETE);
  event->any.window = GDK_WINDOW(g_object_ref(window->window));
  event->any.send_event = TRUE;
  gtk_main_do_event(event);
  gdk_event_free(event);
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
        strayAt_ = 0;
        if (!acted_) {
          handled.push_back(steps_[next_].title);
          texts.push_back(labelTexts(dialog));
          acted_ = true;
        }
        if (steps_[next_].act(dialog)) {
          ++next_;
          acted_ = false;
        }
        return;
      }
    }
    // Watchdog: a modal dialog that no step expects (the progress box of a
    // running copy is left alone), closed after three seconds.
    GtkWidget* stray = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
      GtkWidget* widget = GTK_WIDGET(w->data);
      if (GTK_IS_DIALOG(widget) && gtk_widget_get_mapped(widget) &&
          gtk_window_get_modal(GTK_WINDOW(widget)) && titleOf(widget) != "Please Wait")
        stray = widget;
    }
    g_list_free(windows);
    const gint64 now = g_get_monotonic_time();
    if (!stray || !strayAt_) {
      strayAt_ = stray ? now : 0;
      return;
    }
    if (now - strayAt_ < 3 * G_USEC_PER_SEC) return;
    strayAt_ = 0;
    unexpected.push_back(titleOf(stray) + ": " + labelTexts(stray));
    gtk_dialog_response(GTK_DIALOG(stray), GTK_RESPONSE_DELETE_EVENT);
  }

  guint timer_ = 0;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool acted_ = false;
  gint64 strayAt_ = 0;
};

inline DialogScript::Action respond(int response) {
  return [response](GtkWidget* dialog) {
    gtk_dialog_response(GTK_DIALOG(dialog), response);
    return true;
  };
}

// Answers a file chooser with `path` once the chooser reports it.  Save:
// folder + typed name; open: the file; select folder: the folder.
inline DialogScript::Action choose(const std::string& path) {
  auto deadline = std::make_shared<gint64>(0);
  auto polls = std::make_shared<int>(0);
  return [path, deadline, polls](GtkWidget* dialog) {
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    const GtkFileChooserAction action = gtk_file_chooser_get_action(chooser);
    const bool first = *deadline == 0;
    if (first) *deadline = g_get_monotonic_time() + kPatience * G_USEC_PER_SEC;
    const std::string folder =
        action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER ? path : path.substr(0, path.find_last_of('/'));
    gchar* current = gtk_file_chooser_get_current_folder(chooser);
    const bool there = current && folder == current;
    g_free(current);
    // Stated again until the chooser reports it: the folder it opened in
    // finishes loading asynchronously and can undo an early choice, and the
    // focused name entry completes a typed "card1" to an existing "card1.img".
    if (action == GTK_FILE_CHOOSER_ACTION_SAVE) {
      gtk_window_set_focus(GTK_WINDOW(dialog), nullptr);
      if (!there) gtk_file_chooser_set_current_folder(chooser, folder.c_str());
      gtk_file_chooser_set_current_name(chooser, path.substr(folder.size() + 1).c_str());
    } else if (action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER) {
      if (!there) gtk_file_chooser_set_current_folder(chooser, folder.c_str());
      gtk_file_chooser_unselect_all(chooser);
    } else if (first || !there || ++*polls % 10 == 0) {
      gtk_file_chooser_set_filename(chooser, path.c_str());
    }
    if (first) return false;
    gchar* now = gtk_file_chooser_get_filename(chooser);
    const bool ready = now && path == now;
    g_free(now);
    if (ready) {
      gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
      return true;
    }
    if (g_get_monotonic_time() < *deadline) return false;
    ADD_FAILURE() << "the chooser never showed " << path;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    return true;
  };
}

// Records the values the offset and size dialog shows, then types `offset`
// and `size` (when not negative) and answers.
inline DialogScript::Action enterRange(double offset, double size,
                                       std::vector<std::pair<double, double>>* shown = nullptr,
                                       int response = GTK_RESPONSE_OK) {
  return [=](GtkWidget* dialog) {
    GtkWidget* o = widgetNamed(dialog, "offset");
    GtkWidget* s = widgetNamed(dialog, "size");
    if (!o || !s) return false;
    if (shown)
      shown->push_back({gtk_spin_button_get_value(GTK_SPIN_BUTTON(o)),
                        gtk_spin_button_get_value(GTK_SPIN_BUTTON(s))});
    if (offset >= 0) gtk_spin_button_set_value(GTK_SPIN_BUTTON(o), offset);
    if (size >= 0) gtk_spin_button_set_value(GTK_SPIN_BUTTON(s), size);
    gtk_dialog_response(GTK_DIALOG(dialog), response);
    return true;
  };
}

typedef mzktest::TempDir TempFolder;

inline std::string readWhole(const std::string& path) {
  gchar* data = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &data, &length, nullptr)) return "<missing>";
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

// What every window test starts from: the display, the program's
// configuration, a media record, a file case and a scratch folder.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtkReady()) << "no display: run under xvfb-run";
    config.set("Program Path", MZK_APP_DIR);
    config.set("Program Name", "mzk");
    fileCase.reset(new FileCase(config, allFileSystems()));
  }
  ConfigRecord config, media;
  std::unique_ptr<FileCase> fileCase;
  TempFolder tmp;
};

// Activates a window's action with its dialogs answered by `script`, which
// must finish without a dialog nobody expected.
template <class Window>
void runAction(Window& window, const char* action, const DialogScript& script) {
  gtk_action_activate(gtk_action_group_get_action(window.actionGroup(), action));
  EXPECT_TRUE(script.finished()) << action << ": answered " << script.handled.size();
  EXPECT_TRUE(script.unexpected.empty()) << action << ": " << script.unexpected[0];
}

}  // namespace wintest
