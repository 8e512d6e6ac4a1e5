// Printing sheets of thumbnails: the sheet repeats the screen's grid of the
// selected thumbnails, scaled so that one row fills the page width.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

// The grid of one print, worked out when printing begins.
struct PrintLayout {
  int columns = 1;
  int columnSpacing = 0;
  int rows = 1;
  int rowSpacing = 0;
  int cellWidth = 0;
  int cellHeight = 0;
  double scale = 1.0;  // page points per screen pixel
  int pages = 0;
};

// What the layout is made from: the icon view's geometry and the page.
struct PrintGeometry {
  int items = 0;            // thumbnails to print
  int cellWidth = 0;        // size of one (the first) thumbnail
  int cellHeight = 0;
  int columnSpacing = 0;    // the icon view's
  int rowSpacing = 0;
  int margin = 0;
  int columns = -1;         // the icon view's column setting; -1 automatic
  int viewWidth = 0;        // the icon view's allocated width
  double pageWidth = 0.0;   // points
  double pageHeight = 0.0;
};

// Columns as on the screen (at least 1), as many rows as fit the page's
// proportions (at least 1), and the pages that the items need.
PrintLayout printLayoutFor(const PrintGeometry& geometry);

// Prints the selected thumbnails of an icon view whose model has the
// framed thumbnail in column `pixbufColumn`.  Keeps the print settings and
// the page setup for the life of the window.  Every printed thumbnail ends
// unselected.
class ThumbnailPrinter {
 public:
  ThumbnailPrinter(GtkIconView* view, int pixbufColumn);
  ~ThumbnailPrinter();
  ThumbnailPrinter(const ThumbnailPrinter&) = delete;
  ThumbnailPrinter& operator=(const ThumbnailPrinter&) = delete;

  // GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG asks the user; ..._EXPORT
  // writes a PDF file to exportPath without asking.  The settings are kept
  // when the result is "apply".
  GtkPrintOperationResult print(GtkWindow* parent, GtkPrintOperationAction action,
                                const std::string& exportPath = std::string());
  void pageSetup(GtkWindow* parent);

  const PrintLayout& layout() const { return layout_; }

 private:
  static void onBeginPrint(GtkPrintOperation*, GtkPrintContext*, gpointer self);
  static void onDrawPage(GtkPrintOperation*, GtkPrintContext*, gint page, gpointer self);
  void clearList();

  GtkIconView* view_;
  int pixbufColumn_;
  GtkPrintSettings* settings_ = nullptr;
  GtkPageSetup* pageSetup_ = nullptr;
  std::vector<GtkTreePath*> list_;
  PrintLayout layout_;
};
