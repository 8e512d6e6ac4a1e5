// The picture the browser shows for a found file: its embedded preview,
// else a decode of the file when the image library reads its type, else
// the icon of its type.  Small images can be left out.
//
// Every picture returned is a new reference for the caller; the loader
// keeps one reference to each icon and lets them go when destroyed.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <map>
#include <set>
#include <string>

#include "engine/FileModule.h"

class ConfigRecord;
class FileCase;

class FilePixbufLoader {
 public:
  // Reads "Minimal Image Width"/"Minimal Image Height", the "Icons" list
  // (icons/type-<icon>.png under "Program Path") and "Additional Load
  // Types".  Neither record is kept; the file case must outlive the loader.
  FilePixbufLoader(FileCase* fileCase, const ConfigRecord& config);
  ~FilePixbufLoader();
  FilePixbufLoader(const FilePixbufLoader&) = delete;
  FilePixbufLoader& operator=(const FilePixbufLoader&) = delete;

  // Decodes need not deliver more than fits into width x height: large
  // images are then scaled while they are decoded (the JPEG decoder skips
  // most of the work) instead of being decoded at full size and scaled
  // afterwards.  0 x 0 (the default) decodes at full size.  The size filter
  // always judges the image's real size.
  void setDecodeLimit(int width, int height);

  // Null when nothing could be made, or when the size filter left the file
  // out (then wasLeftOut()).
  GdkPixbuf* load(const FileModule::File& file);
  bool wasLeftOut() const { return leftOut_; }

  bool decodes(const std::string& type) const { return decodable_.count(type) != 0; }
  // The icon for a type ("default" when it has none); not a new reference.
  GdkPixbuf* iconFor(const std::string& type) const;

  // The size a picture of width x height is decoded to under a limit of
  // limitWidth x limitHeight: the largest that fits, keeping the aspect
  // ratio, never enlarged, never 0.
  static void decodeSize(int width, int height, int limitWidth, int limitHeight, int* outWidth,
                         int* outHeight);

 private:
  GdkPixbuf* loadEmbedded(const FileModule::File& file);
  GdkPixbuf* decode(const FileModule::File& file);
  static void onSizePrepared(GdkPixbufLoader*, gint width, gint height, gpointer self);

  FileCase* fileCase_;
  int minimalWidth_ = 0;
  int minimalHeight_ = 0;
  int limitWidth_ = 0;
  int limitHeight_ = 0;
  bool leftOut_ = false;
  std::map<std::string, GdkPixbuf*> typeIcons_;
  std::map<std::string, GdkPixbuf*> iconFiles_;
  std::set<std::string> decodable_;
};
