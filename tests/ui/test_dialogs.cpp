// The properties and preferences dialogs through their widgets.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/FileModule.h"
#include "shell/Config.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/PreferencesDialog.h"
#include "ui/PropertiesDialog.h"

using namespace wintest;

namespace {

typedef std::vector<std::pair<std::string, std::string>> Rows;

// The rows of the properties dialog (a caption "Type:" and its value) and
// its headings, in order.
Rows shownProperties(const FileModule::File& file) {
  Rows rows;
  DialogScript script;
  script.then("Properties", [&rows](GtkWidget* dialog) {
    for (GtkWidget* label : widgetsOf(GTK_DIALOG(dialog)->vbox, GTK_TYPE_LABEL)) {
      GtkWidget* parent = gtk_widget_get_parent(label);
      if (gtk_widget_get_ancestor(label, GTK_TYPE_BUTTON)) continue;
      if (!GTK_IS_HBOX(parent)) {
        rows.push_back({"#", gtk_label_get_text(GTK_LABEL(label))});
        continue;
      }
      GList* children = gtk_container_get_children(GTK_CONTAINER(parent));
      if (children->data == label && children->next)
        rows.push_back({gtk_label_get_text(GTK_LABEL(label)), gtk_label_get_text(GTK_LABEL(children->next->data))});
      g_list_free(children);
    }
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
    return true;
  });
  showPropertiesDialog(nullptr, file);
  EXPECT_TRUE(script.finished());
  return rows;
}

typedef WindowTest DialogsTest;

}  // namespace

TEST_F(DialogsTest, PropertiesShowWhatIsKnownOfAFile) {
  const Rows file = {{"#", "File Information"}, {"Type:", "jpg"}, {"Offset:", "4096"}, {"Size:", "300"}};
  auto with = [&file](Rows more) {
    more.insert(more.begin(), file.begin(), file.end());
    return more;
  };
  const struct {
    std::function<void(Attributes&)> set;
    Rows rows;
  } cases[] = {
      {[](Attributes& a) { a.setInt32("fs", 0), a.set("fn", "Fotos & <1>.jpg"), a.setBool("fragmented", true); },
       with({{"File System:", "0"}, {"File Name:", "Fotos & <1>.jpg"}, {"Fragmented:", "Yes"}})},
      // False and absent values are left out.
      {[](Attributes& a) { a.setInt32("fs", -1), a.set("fn", ""), a.setBool("fragmented", false); }, file},
      // A preview at offset 0 is a preview; what is not known of it is left out.
      {[](Attributes& a) { a.setUint32("thumbnail_offset", 0), a.setUint32("thumbnail_samples", 3); },
       with({{"#", "Thumbnail Information"}, {"Offset:", "0"}, {"Samples:", "3"}})},
      {[](Attributes& a) {
         const char* keys[] = {"offset", "size", "width", "height", "bits_per_sample", "samples", "compression"};
         for (uint32_t i = 0; i < 7; ++i) a.setUint32(std::string("thumbnail_") + keys[i], i);
       },
       with({{"#", "Thumbnail Information"}, {"Offset:", "0"}, {"Size:", "1"}, {"Width:", "2"}, {"Height:", "3"},
             {"Bits per sample:", "4"}, {"Samples:", "5"}, {"Compression:", "6"}})},
  };
  for (const auto& c : cases) {
    FileModule::File f;
    f.offset = 4096;
    f.size = 300;
    f.attributes.set("t", "jpg");
    c.set(f.attributes);
    EXPECT_EQ(shownProperties(f), c.rows);
  }
}

TEST_F(DialogsTest, PreferencesStoreClampedValuesOnlyOnOk) {
  const char* const kKeys[] = {"Icon Width", "Icon Height", "Minimal Image Width", "Minimal Image Height"};
  // The four settings before and after ("-": none), the texts typed into
  // their spin buttons ("": left alone) and the values first shown.
  const struct {
    std::vector<std::string> before, typed;
    std::string how;  // "ok", "enter", "cancel", "close"
    std::vector<int> shown;
    std::vector<std::string> after;
  } cases[] = {
      {{"-", "-", "-", "-"}, {"200", "", "", ""}, "cancel", {96, 72, 0, 0}, {"-", "-", "-", "-"}},
      {{"50", "-", "-", "-"}, {"70", "", "", ""}, "close", {50, 72, 0, 0}, {"50", "-", "-", "-"}},
      {{"120", "bad", "10", "-"}, {"", "90", "", "33"}, "ok", {120, 72, 10, 0}, {"120", "90", "10", "33"}},
      {{"-", "-", "-", "-"}, {"1500", "0", "-5", ""}, "ok", {96, 72, 0, 0}, {"999", "1", "0", "0"}},
      {{"-", "-", "-", "-"}, {"", "", "64", ""}, "enter", {96, 72, 0, 0}, {"96", "72", "64", "0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    ConfigRecord config;
    for (int i = 0; i < 4; ++i)
      if (c.before[i] != "-") config.set(kKeys[i], c.before[i]);
    std::vector<int> shown;
    DialogScript script;
    script.then("Preferences", [&](GtkWidget* dialog) {
      std::vector<GtkWidget*> spins = widgetsOf(dialog, GTK_TYPE_SPIN_BUTTON);
      for (size_t i = 0; i < spins.size(); ++i) {
        shown.push_back(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(spins[i])));
        // Typed, not confirmed: the dialog must take the text itself.
        if (!c.typed[i].empty()) gtk_entry_set_text(GTK_ENTRY(spins[i]), c.typed[i].c_str());
      }
      if (c.how == "enter") gtk_widget_activate(spins[2]);
      if (c.how == "close") closeWindow(dialog);
      if (c.how == "ok" || c.how == "cancel")
        gtk_button_clicked(GTK_BUTTON(stockButton(dialog, c.how == "ok" ? GTK_STOCK_OK : GTK_STOCK_CANCEL)));
      return true;
    });
    EXPECT_EQ(showPreferencesDialog(nullptr, config), c.how == "ok" || c.how == "enter");
    EXPECT_EQ(shown, c.shown);
    std::vector<std::string> after;
    for (const char* key : kKeys) after.push_back(config.has(key) ? config.getString(key) : "-");
    EXPECT_EQ(after, c.after);
  }
}
