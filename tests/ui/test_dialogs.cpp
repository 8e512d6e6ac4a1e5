// The properties, preferences and about dialogs through their widgets.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/FileModule.h"
#include "shell/Config.h"
#include "ui/AboutDialog.h"
#include "ui/PreferencesDialog.h"
#include "ui/PropertiesDialog.h"

namespace uitest {
void ensureGtk();
std::vector<GtkWidget*> findAll(GtkWidget* root, GType type);
void whenDialogShows(std::function<void(GtkWidget*)> action);
void closeWindow(GtkWidget* window);
void screenshot();
}  // namespace uitest

using namespace uitest;

namespace {

typedef std::vector<std::pair<std::string, std::string>> Rows;

struct PropertiesSeen {
  std::string title;
  std::vector<std::string> headings;
  Rows rows;
  size_t separators = 0;
};

// Rows are boxes holding a caption ("Type:") and a value label.
PropertiesSeen showProperties(const FileModule::File& file) {
  PropertiesSeen seen;
  whenDialogShows([&seen](GtkWidget* dialog) {
    seen.title = gtk_window_get_title(GTK_WINDOW(dialog));
    seen.separators = findAll(dialog, GTK_TYPE_HSEPARATOR).size();
    for (GtkWidget* label : findAll(GTK_DIALOG(dialog)->vbox, GTK_TYPE_LABEL)) {
      GtkWidget* parent = gtk_widget_get_parent(label);
      if (gtk_widget_get_ancestor(label, GTK_TYPE_BUTTON))
        continue;
      if (GTK_IS_HBOX(parent)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(parent));
        if (children->data == label && children->next) {
          std::string caption = gtk_label_get_text(GTK_LABEL(label));
          if (!caption.empty() && caption.back() == ':')
            caption.pop_back();
          seen.rows.push_back({caption, gtk_label_get_text(GTK_LABEL(children->next->data))});
        }
        g_list_free(children);
      } else {
        seen.headings.push_back(gtk_label_get_text(GTK_LABEL(label)));
      }
    }
    screenshot();
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
  });
  showPropertiesDialog(nullptr, file);
  return seen;
}

FileModule::File jpegAt(uint64_t offset, uint64_t size) {
  FileModule::File file;
  file.offset = offset;
  file.size = size;
  file.attributes.set("t", "jpg");
  return file;
}

std::vector<GtkSpinButton*> spinsOf(GtkWidget* dialog) {
  std::vector<GtkSpinButton*> spins;
  for (GtkWidget* w : findAll(dialog, GTK_TYPE_SPIN_BUTTON))
    spins.push_back(GTK_SPIN_BUTTON(w));
  return spins;
}

std::vector<int> valuesOf(GtkWidget* dialog) {
  std::vector<int> values;
  for (GtkSpinButton* spin : spinsOf(dialog))
    values.push_back(gtk_spin_button_get_value_as_int(spin));
  return values;
}

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { ensureGtk(); }
};

}  // namespace

// --- properties ----------------------------------------------------------------

TEST_F(DialogsTest, PropertiesOfAPlainScannerFile) {
  PropertiesSeen seen = showProperties(jpegAt(5368709120ull, 1048576));
  EXPECT_EQ("Properties", seen.title);
  EXPECT_EQ((std::vector<std::string>{"File Information"}), seen.headings);
  EXPECT_EQ((Rows{{"Type", "jpg"}, {"Offset", "5368709120"}, {"Size", "1048576"}}), seen.rows);
  EXPECT_EQ(0u, seen.separators);
}

TEST_F(DialogsTest, PropertiesOfAFileSystemFile) {
  FileModule::File file = jpegAt(4096, 300);
  file.attributes.setInt32("fs", 0);
  file.attributes.set("fn", "Fotos & Videos <1>.jpg");
  file.attributes.setBool("fragmented", true);
  PropertiesSeen seen = showProperties(file);
  EXPECT_EQ((Rows{{"Type", "jpg"},
                  {"Offset", "4096"},
                  {"Size", "300"},
                  {"File System", "0"},
                  {"File Name", "Fotos & Videos <1>.jpg"},
                  {"Fragmented", "Yes"}}),
            seen.rows);
}

TEST_F(DialogsTest, PropertiesLeaveOutFalseAndAbsentValues) {
  FileModule::File file = jpegAt(0, 10);
  file.attributes.setInt32("fs", -1);
  file.attributes.set("fn", "");
  file.attributes.setBool("fragmented", false);
  PropertiesSeen seen = showProperties(file);
  EXPECT_EQ((Rows{{"Type", "jpg"}, {"Offset", "0"}, {"Size", "10"}}), seen.rows);
}

TEST_F(DialogsTest, PropertiesShowTheEmbeddedPreview) {
  FileModule::File file = jpegAt(65536, 9000000);
  file.attributes.set("t", "cr2");
  file.attributes.setUint32("thumbnail_offset", 1234);
  file.attributes.setUint32("thumbnail_size", 5678);
  file.attributes.setUint32("thumbnail_width", 160);
  file.attributes.setUint32("thumbnail_height", 120);
  file.attributes.setUint32("thumbnail_compression", 6);
  PropertiesSeen seen = showProperties(file);
  EXPECT_EQ(1u, seen.separators);
  EXPECT_EQ((std::vector<std::string>{"File Information", "Thumbnail Information"}),
            seen.headings);
  EXPECT_EQ((Rows{{"Type", "cr2"},
                  {"Offset", "65536"},
                  {"Size", "9000000"},
                  {"Offset", "1234"},
                  {"Size", "5678"},
                  {"Width", "160"},
                  {"Height", "120"},
                  {"Compression", "6"}}),
            seen.rows);
}

TEST_F(DialogsTest, PropertiesShowAPreviewAtOffsetZero) {
  FileModule::File file = jpegAt(0, 100);
  file.attributes.setUint32("thumbnail_offset", 0);
  file.attributes.setUint32("thumbnail_bits_per_sample", 8);
  file.attributes.setUint32("thumbnail_samples", 3);
  PropertiesSeen seen = showProperties(file);
  EXPECT_EQ(1u, seen.separators);
  EXPECT_EQ((Rows{{"Type", "jpg"},
                  {"Offset", "0"},
                  {"Size", "100"},
                  {"Offset", "0"},
                  {"Bits per sample", "8"},
                  {"Samples", "3"}}),
            seen.rows);
}

// --- preferences ---------------------------------------------------------------

TEST_F(DialogsTest, PreferencesStartFromDefaultsAndCancelStoresNothing) {
  ConfigRecord config;
  std::vector<int> shown;
  std::string title;
  whenDialogShows([&](GtkWidget* dialog) {
    title = gtk_window_get_title(GTK_WINDOW(dialog));
    shown = valuesOf(dialog);
    gtk_spin_button_set_value(spinsOf(dialog)[0], 200);
    screenshot();
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
  });
  EXPECT_FALSE(showPreferencesDialog(nullptr, config));
  EXPECT_EQ("Preferences", title);
  EXPECT_EQ((std::vector<int>{96, 72, 0, 0}), shown);
  EXPECT_TRUE(config.values().empty());
}

TEST_F(DialogsTest, PreferencesStoreTheValuesOnOk) {
  ConfigRecord config;
  config.set("Icon Width", "120");
  config.set("Icon Height", "bad");
  config.set("Minimal Image Width", "10");
  std::vector<int> shown;
  whenDialogShows([&](GtkWidget* dialog) {
    shown = valuesOf(dialog);
    std::vector<GtkSpinButton*> spins = spinsOf(dialog);
    gtk_spin_button_set_value(spins[1], 90);
    gtk_spin_button_set_value(spins[3], 33);
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  });
  EXPECT_TRUE(showPreferencesDialog(nullptr, config));
  EXPECT_EQ((std::vector<int>{120, 72, 10, 0}), shown);
  EXPECT_EQ(120, config.getInt("Icon Width", -1));
  EXPECT_EQ(90, config.getInt("Icon Height", -1));
  EXPECT_EQ(10, config.getInt("Minimal Image Width", -1));
  EXPECT_EQ(33, config.getInt("Minimal Image Height", -1));
}

TEST_F(DialogsTest, PreferencesClampTypedValuesToTheirRange) {
  ConfigRecord config;
  whenDialogShows([&](GtkWidget* dialog) {
    std::vector<GtkSpinButton*> spins = spinsOf(dialog);
    gtk_entry_set_text(GTK_ENTRY(spins[0]), "1500");
    gtk_entry_set_text(GTK_ENTRY(spins[1]), "0");
    gtk_entry_set_text(GTK_ENTRY(spins[2]), "-5");
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  });
  EXPECT_TRUE(showPreferencesDialog(nullptr, config));
  EXPECT_EQ(999, config.getInt("Icon Width", -1));
  EXPECT_EQ(1, config.getInt("Icon Height", -1));
  EXPECT_EQ(0, config.getInt("Minimal Image Width", -1));
  EXPECT_EQ(0, config.getInt("Minimal Image Height", -1));
}

TEST_F(DialogsTest, PreferencesEnterInASpinButtonPressesOk) {
  ConfigRecord config;
  whenDialogShows([&](GtkWidget* dialog) {
    GtkSpinButton* spin = spinsOf(dialog)[2];
    gtk_entry_set_text(GTK_ENTRY(spin), "64");
    gtk_widget_activate(GTK_WIDGET(spin));
  });
  EXPECT_TRUE(showPreferencesDialog(nullptr, config));
  EXPECT_EQ(64, config.getInt("Minimal Image Width", -1));
}

TEST_F(DialogsTest, PreferencesClosedWindowStoresNothing) {
  ConfigRecord config;
  config.set("Icon Width", "50");
  whenDialogShows([&](GtkWidget* dialog) {
    gtk_spin_button_set_value(spinsOf(dialog)[0], 70);
    closeWindow(dialog);
  });
  EXPECT_FALSE(showPreferencesDialog(nullptr, config));
  EXPECT_EQ("50", config.getString("Icon Width"));
  EXPECT_EQ(1u, config.values().size());
}

TEST_F(DialogsTest, PreferenceTableRanges) {
  int count = 0;
  const PreferenceSetting* settings = preferenceSettings(&count);
  ASSERT_EQ(4, count);
  EXPECT_STREQ("Icon Width", settings[0].key);
  EXPECT_EQ(1, settings[0].minimum);
  EXPECT_EQ(999, settings[0].maximum);
  EXPECT_STREQ("Minimal Image Height", settings[3].key);
  EXPECT_EQ(0, settings[3].minimum);
}

// --- about ----------------------------------------------------------------------

namespace {
void markerHook(GtkLinkButton*, const gchar*, gpointer) {}
}  // namespace

TEST_F(DialogsTest, AboutShowsNameRevisionBrandAndLinks) {
  gchar* folder = g_dir_make_tmp("mzk-about-XXXXXX", nullptr);
  ASSERT_NE(nullptr, folder);
  std::string icon = std::string(folder) + "/mzk.png";
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 48, 40);
  gdk_pixbuf_fill(pixbuf, 0x884422ff);
  ASSERT_TRUE(gdk_pixbuf_save(pixbuf, icon.c_str(), "png", nullptr, nullptr));
  g_object_unref(pixbuf);

  ConfigRecord config;
  config.set("Program Path", folder);
  config.set("Program Icon", "mzk.png");
  config.set("Program Name with Version", "mzk 1.0 & <friends>");

  gtk_link_button_set_uri_hook(markerHook, nullptr, nullptr);
  std::string title, texts;
  std::vector<std::string> uris;
  int iconWidth = 0;
  GtkLinkButtonUriFunc hookWhileShown = nullptr;
  whenDialogShows([&](GtkWidget* dialog) {
    title = gtk_window_get_title(GTK_WINDOW(dialog));
    for (GtkWidget* label : findAll(GTK_DIALOG(dialog)->vbox, GTK_TYPE_LABEL))
      texts += std::string(gtk_label_get_text(GTK_LABEL(label))) + "|";
    for (GtkWidget* link : findAll(dialog, GTK_TYPE_LINK_BUTTON))
      uris.push_back(gtk_link_button_get_uri(GTK_LINK_BUTTON(link)));
    std::vector<GtkWidget*> images = findAll(GTK_DIALOG(dialog)->vbox, GTK_TYPE_IMAGE);
    if (!images.empty() && gtk_image_get_storage_type(GTK_IMAGE(images[0])) == GTK_IMAGE_PIXBUF)
      iconWidth = gdk_pixbuf_get_width(gtk_image_get_pixbuf(GTK_IMAGE(images[0])));
    hookWhileShown = gtk_link_button_set_uri_hook(nullptr, nullptr, nullptr);
    gtk_link_button_set_uri_hook(hookWhileShown, nullptr, nullptr);
    screenshot();
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
  });
  showAboutDialog(nullptr, config);

  EXPECT_EQ("About", title);
  EXPECT_NE(std::string::npos, texts.find("mzk 1.0 & <friends>\n(revision 100218)"));
  EXPECT_NE(std::string::npos, texts.find("\nVarlo"));
  EXPECT_EQ(2u, uris.size());
  EXPECT_EQ(48, iconWidth);
  // The dialog's own hook opens the links while it runs; the previous one is back afterwards.
  EXPECT_NE(nullptr, hookWhileShown);
  EXPECT_NE(reinterpret_cast<void*>(markerHook), reinterpret_cast<void*>(hookWhileShown));
  GtkLinkButtonUriFunc after = gtk_link_button_set_uri_hook(nullptr, nullptr, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(markerHook), reinterpret_cast<void*>(after));

  std::string command = std::string("rm -rf '") + folder + "'";
  g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, nullptr, nullptr);
  g_free(folder);
}

TEST_F(DialogsTest, AboutWithoutIconShowsTheMissingImage) {
  ConfigRecord config;
  config.set("Program Path", "/nonexistent-mzk");
  config.set("Program Icon", "none.png");
  bool hasImage = false;
  whenDialogShows([&](GtkWidget* dialog) {
    hasImage = !findAll(GTK_DIALOG(dialog)->vbox, GTK_TYPE_IMAGE).empty();
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
  });
  showAboutDialog(nullptr, config);
  EXPECT_TRUE(hasImage);
}
