// The decorative frame around every thumbnail, and the second frame that
// marks a selected one.  Both are scaled once, so that their picture area
// is exactly "Icon Width" x "Icon Height".
#pragma once

#include <gtk/gtk.h>

class ConfigRecord;

class PixbufFrame {
 public:
  // Loads icons/PixbufFrame.png and icons/PixbufFrameSelected.png under
  // "Program Path"; missing or unusable pictures are replaced by a grey and
  // a green one (and logged), so a frame always exists.
  explicit PixbufFrame(const ConfigRecord& config);
  ~PixbufFrame();
  PixbufFrame(const PixbufFrame&) = delete;
  PixbufFrame& operator=(const PixbufFrame&) = delete;

  // A new picture: the frame with `picture` inside, shrunk to fit the
  // picture area when larger (never enlarged) and centred in it.
  GdkPixbuf* frame(GdkPixbuf* picture) const;
  // A new picture: the selected frame around the picture area of `framed`.
  GdkPixbuf* selectedVersion(GdkPixbuf* framed) const;
  // A new cell renderer that draws with this frame; the frame must outlive it.
  GtkCellRenderer* newRenderer();

  int iconX() const { return iconX_; }
  int iconY() const { return iconY_; }
  int iconWidth() const { return iconWidth_; }
  int iconHeight() const { return iconHeight_; }
  int width() const { return gdk_pixbuf_get_width(frame_); }
  int height() const { return gdk_pixbuf_get_height(frame_); }

 private:
  int iconX_ = 0;
  int iconY_ = 0;
  int iconWidth_ = 96;
  int iconHeight_ = 72;
  GdkPixbuf* frame_ = nullptr;
  GdkPixbuf* selectedFrame_ = nullptr;
};
