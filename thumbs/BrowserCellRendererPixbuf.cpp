// The cell renderer of the thumbnails.

#include "thumbs/BrowserCellRendererPixbuf.h"

#include "thumbs/PixbufFrame.h"

namespace {

enum { PropPixbuf = 1 };

struct Renderer {
  GtkCellRenderer parent;
  GdkPixbuf* pixbuf;
  PixbufFrame* frame;
};

struct RendererClass {
  GtkCellRendererClass parent;
};

gpointer parentClass = nullptr;

Renderer* self(gpointer object) { return reinterpret_cast<Renderer*>(object); }

void getProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  if (id == PropPixbuf)
    g_value_set_object(value, self(object)->pixbuf);
  else
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

void setProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  if (id != PropPixbuf) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  Renderer* r = self(object);
  GdkPixbuf* old = r->pixbuf;
  r->pixbuf = GDK_PIXBUF(g_value_dup_object(value));
  if (old) g_object_unref(old);
}

void finalize(GObject* object) {
  Renderer* r = self(object);
  if (r->pixbuf) g_object_unref(r->pixbuf);
  r->pixbuf = nullptr;
  G_OBJECT_CLASS(parentClass)->finalize(object);
}

void getSize(GtkCellRenderer* cell, GtkWidget*, GdkRectangle*, gint* x, gint* y, gint* width,
             gint* height) {
  Renderer* r = self(cell);
  if (x) *x = 0;
  if (y) *y = 0;
  const int w = r->pixbuf ? gdk_pixbuf_get_width(r->pixbuf) : 0;
  const int h = r->pixbuf ? gdk_pixbuf_get_height(r->pixbuf) : 0;
  if (width) *width = r->pixbuf ? w + 2 * static_cast<int>(cell->xpad) : 0;
  if (height) *height = r->pixbuf ? h + 2 * static_cast<int>(cell->ypad) : 0;
}

void render(GtkCellRenderer* cell, GdkDrawable* window, GtkWidget*, GdkRectangle*,
            GdkRectangle* cellArea, GdkRectangle* exposeArea, GtkCellRendererState flags) {
  Renderer* r = self(cell);
  if (!r->pixbuf) return;
  GdkRectangle place = {cellArea->x + static_cast<int>(cell->xpad),
                        cellArea->y + static_cast<int>(cell->ypad),
                        gdk_pixbuf_get_width(r->pixbuf), gdk_pixbuf_get_height(r->pixbuf)};
  GdkRectangle draw;
  if (!gdk_rectangle_intersect(cellArea, &place, &draw)) return;
  if (exposeArea && !gdk_rectangle_intersect(exposeArea, &draw, &draw)) return;
  GdkPixbuf* picture = (flags & GTK_CELL_RENDERER_SELECTED) && r->frame
                           ? r->frame->selectedVersion(r->pixbuf)
                           : GDK_PIXBUF(g_object_ref(r->pixbuf));
  cairo_t* cr = gdk_cairo_create(window);
  gdk_cairo_set_source_pixbuf(cr, picture, place.x, place.y);
  gdk_cairo_rectangle(cr, &draw);
  cairo_fill(cr);
  cairo_destroy(cr);
  g_object_unref(picture);
}

void classInit(gpointer klass, gpointer) {
  parentClass = g_type_class_peek_parent(klass);
  GObjectClass* objectClass = G_OBJECT_CLASS(klass);
  objectClass->get_property = getProperty;
  objectClass->set_property = setProperty;
  objectClass->finalize = finalize;
  GtkCellRendererClass* cellClass = GTK_CELL_RENDERER_CLASS(klass);
  cellClass->get_size = getSize;
  cellClass->render = render;
  g_object_class_install_property(
      objectClass, PropPixbuf,
      g_param_spec_object("pixbuf", "Pixbuf Object", "The pixbuf to render", GDK_TYPE_PIXBUF,
                          GParamFlags(G_PARAM_READWRITE)));
}

void instanceInit(GTypeInstance* instance, gpointer) {
  Renderer* r = self(instance);
  r->pixbuf = nullptr;
  r->frame = nullptr;
}

}  // namespace

GType browserCellRendererPixbufGetType() {
  static gsize type = 0;
  if (g_once_init_enter(&type)) {
    const GTypeInfo info = {sizeof(RendererClass), nullptr, nullptr, classInit, nullptr, nullptr,
                            sizeof(Renderer), 0, instanceInit, nullptr};
    GType registered = g_type_register_static(GTK_TYPE_CELL_RENDERER, "BrowserCellRendererPixbuf",
                                              &info, GTypeFlags(0));
    g_once_init_leave(&type, registered);
  }
  return type;
}

GtkCellRenderer* browserCellRendererPixbufNew(PixbufFrame* frame) {
  GtkCellRenderer* cell =
      GTK_CELL_RENDERER(g_object_new(browserCellRendererPixbufGetType(), nullptr));
  self(cell)->frame = frame;
  return cell;
}
