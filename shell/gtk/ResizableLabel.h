// A wrapping label that follows the width its container gives it.
//
// The widget is a GtkLayout (registered as "GtkResizableLabel") holding a
// wrapped GtkLabel at (0, 0).  It asks for the text's natural one-line width
// (at most maxWidth) until resizableLabelSetMinWidth lowers its request;
// every allocation then rewraps the label to the allocated width, so a
// dialog can shrink it down to the minimum width but never forces it wider
// than its text needs.
#pragma once

#include <gtk/gtk.h>

struct GtkResizableLabel {
  GtkLayout layout;
  GtkWidget* label;
  int minWidth;
};

GType gtk_resizable_label_get_type();

// markup is Pango markup; callers escape every inserted value.
GtkWidget* resizableLabelNew(const char* markup, int maxWidth);
void resizableLabelSetMinWidth(GtkWidget* widget, int width);
// The wrapped label inside.
GtkLabel* resizableLabelLabel(GtkWidget* widget);
