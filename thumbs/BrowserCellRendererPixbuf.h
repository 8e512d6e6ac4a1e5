// The icon view's cell renderer: draws a framed thumbnail, or for a
// selected cell the same picture in the selected frame.  A GObject type,
// "BrowserCellRendererPixbuf", derived from GtkCellRenderer, with one
// property "pixbuf" (the framed thumbnail; the renderer keeps a reference).
#pragma once

#include <gtk/gtk.h>

class PixbufFrame;

GType browserCellRendererPixbufGetType();

// A new renderer (floating, as GTK cell renderers are); `frame` may be
// null (selected cells are then drawn like the others) and must outlive it.
GtkCellRenderer* browserCellRendererPixbufNew(PixbufFrame* frame);
