// Thumbnail sheets.

#include "ui/BrowserPrint.h"

#include <algorithm>
#include <cmath>

#include "shell/DebugLog.h"

PrintLayout printLayoutFor(const PrintGeometry& g) {
  PrintLayout l;
  l.cellWidth = g.cellWidth;
  l.cellHeight = g.cellHeight;
  l.columnSpacing = g.columnSpacing;
  l.rowSpacing = g.rowSpacing;
  if (g.columns > 0) {
    l.columns = g.columns;
  } else if (g.cellWidth + g.columnSpacing <= 0 || g.viewWidth <= g.cellWidth + 2 * g.margin) {
    l.columns = 1;
  } else {
    l.columns = (g.viewWidth - 2 * g.margin + g.columnSpacing) / (g.cellWidth + g.columnSpacing);
    l.columns = std::max(1, l.columns);
  }
  const double ratio = g.pageWidth > 0 ? g.pageHeight / g.pageWidth : 1.0;
  const int rowWidth = l.columns * g.cellWidth + (l.columns - 1) * g.columnSpacing;
  const int pageHeight = static_cast<int>(std::lround(rowWidth * ratio));
  if (g.cellHeight + g.rowSpacing <= 0 || pageHeight <= g.cellHeight)
    l.rows = 1;
  else
    l.rows = std::max(1, (g.rowSpacing + pageHeight) / (g.cellHeight + g.rowSpacing));
  const int perPage = l.rows * l.columns;
  l.pages = (g.items + perPage - 1) / perPage;
  l.scale = rowWidth > 0 ? g.pageWidth / rowWidth : 1.0;
  return l;
}

ThumbnailPrinter::ThumbnailPrinter(GtkIconView* view, int pixbufColumn)
    : view_(view), pixbufColumn_(pixbufColumn) {}

ThumbnailPrinter::~ThumbnailPrinter() {
  clearList();
  if (settings_) g_object_unref(settings_);
  if (pageSetup_) g_object_unref(pageSetup_);
}

void ThumbnailPrinter::clearList() {
  for (GtkTreePath* path : list_) gtk_tree_path_free(path);
  list_.clear();
}

GtkPrintOperationResult ThumbnailPrinter::print(GtkWindow* parent, GtkPrintOperationAction action,
                                                const std::string& exportPath) {
  clearList();
  GList* selected = gtk_icon_view_get_selected_items(view_);
  for (GList* s = selected; s; s = s->next) list_.push_back(static_cast<GtkTreePath*>(s->data));
  g_list_free(selected);
  // In view order, whatever order the view hands them out.
  std::sort(list_.begin(), list_.end(),
            [](GtkTreePath* a, GtkTreePath* b) { return gtk_tree_path_compare(a, b) < 0; });

  GtkPrintOperation* operation = gtk_print_operation_new();
  if (settings_) gtk_print_operation_set_print_settings(operation, settings_);
  if (pageSetup_) gtk_print_operation_set_default_page_setup(operation, pageSetup_);
  gtk_print_operation_set_unit(operation, GTK_UNIT_POINTS);
  gtk_print_operation_set_show_progress(operation, action != GTK_PRINT_OPERATION_ACTION_EXPORT);
  if (!exportPath.empty()) gtk_print_operation_set_export_filename(operation, exportPath.c_str());
  g_signal_connect(operation, "begin-print", G_CALLBACK(onBeginPrint), this);
  g_signal_connect(operation, "draw-page", G_CALLBACK(onDrawPage), this);
  GError* error = nullptr;
  const GtkPrintOperationResult result = gtk_print_operation_run(operation, action, parent, &error);
  if (result == GTK_PRINT_OPERATION_RESULT_APPLY) {
    if (settings_) g_object_unref(settings_);
    settings_ = GTK_PRINT_SETTINGS(g_object_ref(gtk_print_operation_get_print_settings(operation)));
  } else if (result == GTK_PRINT_OPERATION_RESULT_ERROR) {
    dlog() << "Browser(880): " << (error ? error->message : "") << "\n";
  }
  g_clear_error(&error);
  g_object_unref(operation);
  clearList();
  return result;
}

void ThumbnailPrinter::pageSetup(GtkWindow* parent) {
  if (!settings_) settings_ = gtk_print_settings_new();
  GtkPageSetup* chosen = gtk_print_run_page_setup_dialog(parent, pageSetup_, settings_);
  if (pageSetup_) g_object_unref(pageSetup_);
  pageSetup_ = chosen;
}

void ThumbnailPrinter::onBeginPrint(GtkPrintOperation* operation, GtkPrintContext* context,
                                    gpointer data) {
  ThumbnailPrinter* self = static_cast<ThumbnailPrinter*>(data);
  PrintGeometry g;
  g.items = static_cast<int>(self->list_.size());
  if (self->list_.empty()) {
    dlog() << "Browser(905)\n";
  } else {
    GtkTreeModel* model = gtk_icon_view_get_model(self->view_);
    GtkTreeIter row;
    GdkPixbuf* first = nullptr;
    if (gtk_tree_model_get_iter(model, &row, self->list_.front()))
      gtk_tree_model_get(model, &row, self->pixbufColumn_, &first, -1);
    if (first) {
      g.cellWidth = gdk_pixbuf_get_width(first);
      g.cellHeight = gdk_pixbuf_get_height(first);
      g_object_unref(first);
    }
  }
  g.columnSpacing = gtk_icon_view_get_column_spacing(self->view_);
  g.rowSpacing = gtk_icon_view_get_row_spacing(self->view_);
  g.margin = gtk_icon_view_get_margin(self->view_);
  g.columns = gtk_icon_view_get_columns(self->view_);
  GtkAllocation allocation;
  gtk_widget_get_allocation(GTK_WIDGET(self->view_), &allocation);
  g.viewWidth = allocation.width;
  g.pageWidth = gtk_print_context_get_width(context);
  g.pageHeight = gtk_print_context_get_height(context);
  self->layout_ = printLayoutFor(g);
  gtk_print_operation_set_n_pages(operation, std::max(1, self->layout_.pages));
}

void ThumbnailPrinter::onDrawPage(GtkPrintOperation*, GtkPrintContext* context, gint page,
                                  gpointer data) {
  ThumbnailPrinter* self = static_cast<ThumbnailPrinter*>(data);
  const PrintLayout& l = self->layout_;
  size_t index = static_cast<size_t>(l.rows) * l.columns * page;
  if (index >= self->list_.size()) {
    dlog() << "Browser(974)\n";
    return;
  }
  cairo_t* cr = gtk_print_context_get_cairo_context(context);
  cairo_scale(cr, l.scale, l.scale);
  GtkTreeModel* model = gtk_icon_view_get_model(self->view_);
  for (int row = 0; row < l.rows; ++row) {
    for (int column = 0; column < l.columns; ++column, ++index) {
      if (index >= self->list_.size()) return;
      GtkTreePath* path = self->list_[index];
      GtkTreeIter iter;
      GdkPixbuf* picture = nullptr;
      if (gtk_tree_model_get_iter(model, &iter, path))
        gtk_tree_model_get(model, &iter, self->pixbufColumn_, &picture, -1);
      if (picture) {
        const int x = column * (l.cellWidth + l.columnSpacing);
        const int y = row * (l.cellHeight + l.rowSpacing);
        cairo_save(cr);
        cairo_rectangle(cr, x, y, l.cellWidth, l.cellHeight);
        cairo_clip(cr);
        gdk_cairo_set_source_pixbuf(cr, picture, x, y);
        cairo_paint(cr);
        cairo_restore(cr);
        g_object_unref(picture);
      }
      gtk_icon_view_unselect_path(self->view_, path);
    }
  }
}
