// Pictures of found files.

#include "thumbs/FilePixbufLoader.h"

#include <algorithm>
#include <vector>

#include "engine/FileCase.h"
#include "media/Reader.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "thumbs/ImageLoad.h"

namespace {

const uint64_t kChunk = 65536;

std::string stripped(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// One decode: the loader's signal handler reports into this.
struct DecodeState {
  int minimalWidth;
  int minimalHeight;
  int limitWidth;
  int limitHeight;
  bool leftOut = false;
};

void sizePrepared(GdkPixbufLoader* loader, gint width, gint height, gpointer data) {
  DecodeState* state = static_cast<DecodeState*>(data);
  // The filter judges the image as stored, before any reduction.
  if (width < state->minimalWidth || height < state->minimalHeight) {
    state->leftOut = true;
    return;
  }
  if (state->limitWidth > 0 && state->limitHeight > 0 &&
      (width > state->limitWidth || height > state->limitHeight)) {
    int w, h;
    FilePixbufLoader::decodeSize(width, height, state->limitWidth, state->limitHeight, &w, &h);
    gdk_pixbuf_loader_set_size(loader, w, h);
  }
}

// Closes the loader once and takes its picture (a new reference), or null.
// Some decoders announce the size only when closed, so the filter's mark
// is judged after closing.
GdkPixbuf* closeAndTake(GdkPixbufLoader* loader, bool fed, const DecodeState& state,
                        const char* closeTag, const char* noPictureTag) {
  GError* error = nullptr;
  const bool closed = gdk_pixbuf_loader_close(loader, &error);
  const bool wanted = fed && !state.leftOut;
  if (!closed && wanted) dlog() << closeTag << (error ? error->message : "") << "\n";
  g_clear_error(&error);
  if (!closed || !wanted) return nullptr;
  GdkPixbuf* picture = gdk_pixbuf_loader_get_pixbuf(loader);
  if (!picture) {
    dlog() << noPictureTag;
    return nullptr;
  }
  return GDK_PIXBUF(g_object_ref(picture));
}

}  // namespace

FilePixbufLoader::FilePixbufLoader(FileCase* fileCase, const ConfigRecord& config)
    : fileCase_(fileCase) {
  minimalWidth_ = config.getInt("Minimal Image Width", 0);
  minimalHeight_ = config.getInt("Minimal Image Height", 0);

  const std::string folder = config.getString("Program Path") + "/icons";
  std::vector<std::string> entries;
  split(config.getString("Icons"), ',', entries);
  for (const std::string& raw : entries) {
    const std::string entry = stripped(raw);
    if (entry.empty()) continue;
    std::vector<std::string> parts;
    split(entry, ':', parts);
    if (parts.size() != 2) {
      dlog() << "FilePixbufLoader(93): " << entry << "\n";
      continue;
    }
    const std::string type = stripped(parts[0]);
    const std::string icon = stripped(parts[1]);
    auto file = iconFiles_.find(icon);
    if (file == iconFiles_.end()) {
      const std::string path = folder + "/type-" + icon + ".png";
      GdkPixbuf* picture = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
      if (!picture) {
        dlog() << "FilePixbufLoader(104): " << path << "\n";
        continue;
      }
      file = iconFiles_.emplace(icon, picture).first;
    }
    if (!typeIcons_.emplace(type, file->second).second)
      dlog() << "FilePixbufLoader(116): " << type << "\n";
  }
  for (auto& icon : typeIcons_) g_object_ref(icon.second);

  GSList* formats = gdk_pixbuf_get_formats();
  for (GSList* f = formats; f; f = f->next) {
    gchar** extensions = gdk_pixbuf_format_get_extensions(static_cast<GdkPixbufFormat*>(f->data));
    for (gchar** e = extensions; e && *e; ++e)
      if (!decodable_.insert(*e).second) dlog() << "FilePixbufLoader(128): " << *e << "\n";
    g_strfreev(extensions);
  }
  g_slist_free(formats);
  std::vector<std::string> added;
  split(config.getString("Additional Load Types"), ',', added);
  for (const std::string& raw : added) {
    const std::string type = stripped(raw);
    if (type.empty()) continue;
    if (!decodable_.insert(type).second) dlog() << "FilePixbufLoader(143): " << type << "\n";
  }
}

FilePixbufLoader::~FilePixbufLoader() {
  for (auto& icon : typeIcons_) g_object_unref(icon.second);
  for (auto& file : iconFiles_) g_object_unref(file.second);
}

void FilePixbufLoader::setDecodeLimit(int width, int height) {
  limitWidth_ = std::max(0, width);
  limitHeight_ = std::max(0, height);
}

void FilePixbufLoader::decodeSize(int width, int height, int limitWidth, int limitHeight,
                                  int* outWidth, int* outHeight) {
  *outWidth = width;
  *outHeight = height;
  if (width <= limitWidth && height <= limitHeight) return;
  // The same fit as the frame makes, so that framing needs no second scaling.
  const double rx = static_cast<double>(width) / limitWidth;
  const double ry = static_cast<double>(height) / limitHeight;
  if (ry <= rx) {
    *outWidth = limitWidth;
    *outHeight = static_cast<int>(height / rx);
  } else {
    *outWidth = static_cast<int>(width / ry);
    *outHeight = limitHeight;
  }
  *outWidth = std::max(1, *outWidth);
  *outHeight = std::max(1, *outHeight);
}

GdkPixbuf* FilePixbufLoader::iconFor(const std::string& type) const {
  auto icon = typeIcons_.find(type);
  if (icon != typeIcons_.end()) return icon->second;
  dlog() << "FilePixbufLoader(186): " << type << "\n";
  icon = typeIcons_.find("default");
  return icon == typeIcons_.end() ? nullptr : icon->second;
}

GdkPixbuf* FilePixbufLoader::load(const FileModule::File& file) {
  leftOut_ = false;
  if (file.attributes.getInt32("thumbnail_offset", -1) != -1) {
    if (GdkPixbuf* picture = loadEmbedded(file)) return picture;
  }
  const std::string type = file.attributes.getString("t");
  if (decodes(type)) {
    if (GdkPixbuf* picture = decode(file)) return picture;
    if (leftOut_) return nullptr;
    dlog() << "FilePixbufLoader(177): " << type << "\n";
  }
  GdkPixbuf* icon = iconFor(type);
  return icon ? GDK_PIXBUF(g_object_ref(icon)) : nullptr;
}

GdkPixbuf* FilePixbufLoader::loadEmbedded(const FileModule::File& file) {
  Reader* reader = fileCase_->readerFor(file);
  if (!reader) {
    dlog() << "FilePixbufLoader(246)\n";
    return nullptr;
  }
  std::vector<uint8_t> data;
  if (!loadThumbnailData(*reader, 0, thumbnailInfoOf(file.attributes), data)) {
    dlog() << "FilePixbufLoader(266)\n";
    return nullptr;
  }
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  // Previews are never filtered by size, but large ones are reduced too.
  DecodeState state{0, 0, limitWidth_, limitHeight_};
  g_signal_connect(loader, "size-prepared", G_CALLBACK(sizePrepared), &state);
  GdkPixbuf* picture = nullptr;
  if (!gdk_pixbuf_loader_write(loader, data.data(), data.size(), nullptr)) {
    // A failed write has closed the loader already.
    dlog() << "FilePixbufLoader(278)\n";
  } else {
    picture = closeAndTake(loader, true, state, "FilePixbufLoader(282): ",
                           "FilePixbufLoader(287)\n");
  }
  g_object_unref(loader);
  return picture;
}

GdkPixbuf* FilePixbufLoader::decode(const FileModule::File& file) {
  Reader* reader = fileCase_->readerFor(file);
  if (!reader) {
    dlog() << "FilePixbufLoader(204)\n";
    return nullptr;
  }
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  DecodeState state{minimalWidth_, minimalHeight_, limitWidth_, limitHeight_};
  g_signal_connect(loader, "size-prepared", G_CALLBACK(sizePrepared), &state);

  std::vector<uint8_t> chunk(kChunk);
  const uint64_t size = reader->size();
  bool fed = true;
  bool closed = false;  // a failed write closes the loader itself
  for (uint64_t at = 0; at < size && !state.leftOut; at += kChunk) {
    const uint64_t n = std::min(kChunk, size - at);
    if (!reader->read(at, chunk.data(), n)) {
      dlog() << "FilePixbufLoader(305)\n";
      fed = false;
      break;
    }
    if (!gdk_pixbuf_loader_write(loader, chunk.data(), n, nullptr)) {
      dlog() << "FilePixbufLoader(312)\n";
      fed = false;
      closed = true;
      break;
    }
  }
  if (!fed && !state.leftOut) dlog() << "FilePixbufLoader(221)\n";
  GdkPixbuf* picture = nullptr;
  if (!closed)
    picture = closeAndTake(loader, fed, state, "FilePixbufLoader(227): ",
                           "FilePixbufLoader(235)\n");
  g_object_unref(loader);
  leftOut_ = state.leftOut;
  return picture;
}
