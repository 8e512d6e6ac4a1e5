#include "shell/gtk/ResizableLabel.h"

namespace {

struct GtkResizableLabelClass {
  GtkLayoutClass parentClass;
};

GtkResizableLabel* asResizable(GtkWidget* widget) {
  return G_TYPE_CHECK_INSTANCE_CAST(widget, gtk_resizable_label_get_type(), GtkResizableLabel);
}

// Setting a size request queues a resize, which allocates again: only
// change what really differs, or the allocation would never settle.
void requestSize(GtkWidget* widget, int width, int height) {
  int w = -2, h = -2;
  gtk_widget_get_size_request(widget, &w, &h);
  if (w != width || h != height)
    gtk_widget_set_size_request(widget, width, height);
}

int naturalHeightAt(GtkWidget* label, int width) {
  requestSize(label, width, -1);
  GtkRequisition req;
  gtk_widget_size_request(label, &req);
  return req.height;
}

void onSizeAllocate(GtkWidget* widget, GtkAllocation* allocation, gpointer) {
  GtkResizableLabel* self = asResizable(widget);
  int height = naturalHeightAt(self->label, allocation->width);
  requestSize(widget, self->minWidth, height);
  gtk_layout_set_size(GTK_LAYOUT(widget), allocation->width, height);
}

}  // namespace

GType gtk_resizable_label_get_type() {
  static GType type = 0;
  if (type == 0)
    type = g_type_register_static_simple(GTK_TYPE_LAYOUT, "GtkResizableLabel",
                                         sizeof(GtkResizableLabelClass), nullptr,
                                         sizeof(GtkResizableLabel), nullptr, GTypeFlags(0));
  return type;
}

GtkWidget* resizableLabelNew(const char* markup, int maxWidth) {
  GtkWidget* widget = GTK_WIDGET(g_object_new(gtk_resizable_label_get_type(), nullptr));
  GtkResizableLabel* self = asResizable(widget);
  self->label = gtk_label_new(nullptr);
  gtk_label_set_line_wrap(GTK_LABEL(self->label), TRUE);
  gtk_label_set_markup(GTK_LABEL(self->label), markup ? markup : "");
  gtk_misc_set_alignment(GTK_MISC(self->label), 0.0f, 0.0f);
  gtk_layout_put(GTK_LAYOUT(widget), self->label, 0, 0);

  // The one-line width of the text, measured without wrapping.
  PangoLayout* layout = gtk_widget_create_pango_layout(self->label, nullptr);
  pango_layout_set_markup(layout, markup ? markup : "", -1);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  g_object_unref(layout);
  if (w < 1)
    w = 1;
  self->minWidth = w < maxWidth ? w : maxWidth;
  requestSize(widget, self->minWidth, naturalHeightAt(self->label, self->minWidth));
  g_signal_connect(widget, "size-allocate", G_CALLBACK(onSizeAllocate), nullptr);
  return widget;
}

void resizableLabelSetMinWidth(GtkWidget* widget, int width) {
  GtkResizableLabel* self = asResizable(widget);
  self->minWidth = width;
  GtkRequisition req;
  gtk_widget_size_request(self->label, &req);
  requestSize(widget, width, req.height);
}

GtkLabel* resizableLabelLabel(GtkWidget* widget) { return GTK_LABEL(asResizable(widget)->label); }
