// Thumbnail frames.

#include "thumbs/PixbufFrame.h"

#include <algorithm>
#include <string>

#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "thumbs/BrowserCellRendererPixbuf.h"

namespace {

GdkPixbuf* filled(int width, int height, guint32 rgba) {
  GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
  gdk_pixbuf_fill(picture, rgba);
  return picture;
}

}  // namespace

PixbufFrame::PixbufFrame(const ConfigRecord& config) {
  iconWidth_ = std::max(1, config.getInt("Icon Width", 96));
  iconHeight_ = std::max(1, config.getInt("Icon Height", 72));
  // A frame of thousands of pixels per thumbnail would only exhaust memory.
  iconWidth_ = std::min(iconWidth_, 999);
  iconHeight_ = std::min(iconHeight_, 999);

  const std::string folder = config.getString("Program Path") + "/icons/";
  const std::string path = folder + "PixbufFrame.png";
  GdkPixbuf* original = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  if (!original) {
    dlog() << "PixbufFrame(47): " << path << "\n";
  } else if (gdk_pixbuf_get_width(original) < 10 || gdk_pixbuf_get_height(original) < 10) {
    dlog() << "PixbufFrame(45)\n";
    g_object_unref(original);
    original = nullptr;
  }
  if (!original) original = filled(10, 10, 0x7F7F7FFF);
  const int w = gdk_pixbuf_get_width(original);
  const int h = gdk_pixbuf_get_height(original);

  int x = config.getInt("PixbufFrame Icon X", w / 10);
  int y = config.getInt("PixbufFrame Icon Y", h / 10);
  int areaWidth = config.getInt("PixbufFrame Icon Width", w * 8 / 10);
  int areaHeight = config.getInt("PixbufFrame Icon Height", h * 8 / 10);
  // An area outside the picture (or empty) would make the scale factors
  // meaningless; the default proportions take its place.
  if (x < 0 || areaWidth < 1 || x > w - areaWidth) {
    dlog() << "PixbufFrame(58): " << x << " " << areaWidth << " " << w << "\n";
    x = w / 10;
    areaWidth = w - 2 * x;
  }
  if (y < 0 || areaHeight < 1 || y > h - areaHeight) {
    dlog() << "PixbufFrame(63): " << y << " " << areaHeight << " " << h << "\n";
    y = h / 10;
    areaHeight = h - 2 * y;
  }

  const double sx = static_cast<double>(iconWidth_) / areaWidth;
  const double sy = static_cast<double>(iconHeight_) / areaHeight;
  const int frameWidth = std::max(1, static_cast<int>(w * sx));
  const int frameHeight = std::max(1, static_cast<int>(h * sy));
  frame_ = gdk_pixbuf_scale_simple(original, frameWidth, frameHeight, GDK_INTERP_BILINEAR);
  g_object_unref(original);
  iconX_ = static_cast<int>(x * sx);
  iconY_ = static_cast<int>(y * sy);

  const std::string selectedPath = folder + "PixbufFrameSelected.png";
  selectedFrame_ = gdk_pixbuf_new_from_file_at_scale(selectedPath.c_str(), frameWidth,
                                                     frameHeight, FALSE, nullptr);
  if (!selectedFrame_) {
    dlog() << "PixbufFrame(88): " << selectedPath << "\n";
    selectedFrame_ = filled(frameWidth, frameHeight, 0x00FF00FF);
  }
}

PixbufFrame::~PixbufFrame() {
  g_object_unref(frame_);
  g_object_unref(selectedFrame_);
}

GdkPixbuf* PixbufFrame::frame(GdkPixbuf* picture) const {
  GdkPixbuf* result = gdk_pixbuf_copy(frame_);
  int w = gdk_pixbuf_get_width(picture);
  int h = gdk_pixbuf_get_height(picture);
  GdkPixbuf* fitted = GDK_PIXBUF(g_object_ref(picture));
  if (w > iconWidth_ || h > iconHeight_) {
    const double rx = static_cast<double>(w) / iconWidth_;
    const double ry = static_cast<double>(h) / iconHeight_;
    if (ry <= rx) {
      h = static_cast<int>(h / rx);
      w = iconWidth_;
    } else {
      w = static_cast<int>(w / ry);
      h = iconHeight_;
    }
    w = std::max(1, w);
    h = std::max(1, h);
    g_object_unref(fitted);
    fitted = gdk_pixbuf_scale_simple(picture, w, h, GDK_INTERP_BILINEAR);
  }
  // Composited rather than copied: a picture with transparency (an icon)
  // shows the frame through it instead of black.
  gdk_pixbuf_composite(fitted, result, iconX_ + (iconWidth_ - w) / 2,
                       iconY_ + (iconHeight_ - h) / 2, w, h, iconX_ + (iconWidth_ - w) / 2,
                       iconY_ + (iconHeight_ - h) / 2, 1.0, 1.0, GDK_INTERP_NEAREST, 255);
  g_object_unref(fitted);
  return result;
}

GdkPixbuf* PixbufFrame::selectedVersion(GdkPixbuf* framed) const {
  GdkPixbuf* result = gdk_pixbuf_copy(selectedFrame_);
  const int w = std::min(iconWidth_, gdk_pixbuf_get_width(framed) - iconX_);
  const int h = std::min(iconHeight_, gdk_pixbuf_get_height(framed) - iconY_);
  if (w > 0 && h > 0) gdk_pixbuf_copy_area(framed, iconX_, iconY_, w, h, result, iconX_, iconY_);
  return result;
}

GtkCellRenderer* PixbufFrame::newRenderer() { return browserCellRendererPixbufNew(this); }
