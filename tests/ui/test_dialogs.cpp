// The properties and preferences dialogs through their widgets.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
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

std::vector<GtkSpinButton*> spinsOf(GtkWidget* dialog) {
  std::vector<GtkSpinButton*> spins;
  for (GtkWidget* w : widgetsOf(dialog, GTK_TYPE_SPIN_BUTTON)) spins.push_back(GTK_SPIN_BUTTON(w));
  return spins;
}

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(gtkReady()) << "no display: run under xvfb-run"; }
};

}  // namespace

TEST_F(DialogsTest, PropertiesShowWhatIsKnownOfAFile) {
  const Rows file = {{"#", "File Information"}, {"Type:", "jpg"}, {"Offset:", "4096"}, {"Size:", "300"}};
  auto with = [&file](Rows more) {
    Rows rows = file;
    rows.insert(rows.end(), more.begin(), more.end());
    return rows;
  };
  const struct {
    std::function<void(Attributes&)> set;
    Rows rows;
  } cases[] = {
      {[](Attributes&) {}, file},
      {[](Attributes& a) {
         a.setInt32("fs", 0);
         a.set("fn", "Fotos & Videos <1>.jpg");
         a.setBool("fragmented", true);
       },
       with({{"File System:", "0"}, {"File Name:", "Fotos & Videos <1>.jpg"}, {"Fragmented:", "Yes"}})},
      {[](Attributes& a) {  // false and absent values are left out
         a.setInt32("fs", -1);
         a.set("fn", "");
         a.setBool("fragmented", false);
       },
       file},
      {[](Attributes& a) {  // a preview at offset 0 is a preview
         a.setUint32("thumbnail_offset", 0);
         a.setUint32("thumbnail_width", 160);
         a.setUint32("thumbnail_height", 120);
         a.setUint32("thumbnail_compression", 6);
       },
       with({{"#", "Thumbnail Information"},
             {"Offset:", "0"},
             {"Width:", "160"},
             {"Height:", "120"},
             {"Compression:", "6"}})},
      {[](Attributes& a) {
         a.setUint32("thumbnail_offset", 1234);
         a.setUint32("thumbnail_size", 5678);
         a.setUint32("thumbnail_bits_per_sample", 8);
         a.setUint32("thumbnail_samples", 3);
       },
       with({{"#", "Thumbnail Information"},
             {"Offset:", "1234"},
             {"Size:", "5678"},
             {"Bits per sample:", "8"},
             {"Samples:", "3"}})},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    FileModule::File f;
    f.offset = 4096;
    f.size = 300;
    f.attributes.set("t", "jpg");
    cases[i].set(f.attributes);
    EXPECT_EQ(shownProperties(f), cases[i].rows) << "case " << i;
  }
}

TEST_F(DialogsTest, PreferencesStoreClampedValuesOnlyOnOk) {
  typedef std::vector<std::pair<std::string, std::string>> Values;
  const char* const kKeys[] = {"Icon Width", "Icon Height", "Minimal Image Width", "Minimal Image Height"};
  const struct {
    Values before;
    std::vector<std::string> typed;  // into the four spin buttons; "" leaves one alone
    std::string how;                 // "ok", "enter", "cancel", "close"
    std::vector<int> shown;
    Values after;
  } cases[] = {
      {{}, {"200", "", "", ""}, "cancel", {96, 72, 0, 0}, {}},
      {{{"Icon Width", "50"}}, {"70", "", "", ""}, "close", {50, 72, 0, 0}, {{"Icon Width", "50"}}},
      {{{"Icon Width", "120"}, {"Icon Height", "bad"}, {"Minimal Image Width", "10"}},
       {"", "90", "", "33"},
       "ok",
       {120, 72, 10, 0},
       {{"Icon Height", "90"}, {"Icon Width", "120"}, {"Minimal Image Height", "33"}, {"Minimal Image Width", "10"}}},
      {{}, {"1500", "0", "-5", ""}, "ok", {96, 72, 0, 0},
       {{"Icon Height", "1"}, {"Icon Width", "999"}, {"Minimal Image Height", "0"}, {"Minimal Image Width", "0"}}},
      {{}, {"", "", "64", ""}, "enter", {96, 72, 0, 0},
       {{"Icon Height", "72"}, {"Icon Width", "96"}, {"Minimal Image Height", "0"}, {"Minimal Image Width", "64"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    ConfigRecord config;
    for (const auto& v : c.before) config.set(v.first, v.second);
    std::vector<int> shown;
    DialogScript script;
    script.then("Preferences", [&](GtkWidget* dialog) {
      std::vector<GtkSpinButton*> spins = spinsOf(dialog);
      for (size_t i = 0; i < spins.size(); ++i) {
        shown.push_back(gtk_spin_button_get_value_as_int(spins[i]));
        // Typed, not confirmed: the dialog must take the text itself.
        if (!c.typed[i].empty()) gtk_entry_set_text(GTK_ENTRY(spins[i]), c.typed[i].c_str());
      }
      if (c.how == "enter") gtk_widget_activate(GTK_WIDGET(spins[2]));
      if (c.how == "close") closeWindow(dialog);
      if (c.how == "ok" || c.how == "cancel")
        gtk_button_clicked(GTK_BUTTON(stockButton(dialog, c.how == "ok" ? GTK_STOCK_OK : GTK_STOCK_CANCEL)));
      return true;
    });
    EXPECT_EQ(showPreferencesDialog(nullptr, config), c.how == "ok" || c.how == "enter");
    EXPECT_EQ(shown, c.shown);
    Values after;
    for (const char* key : kKeys)
      if (config.has(key)) after.push_back({key, config.getString(key)});
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, c.after);
  }
}
