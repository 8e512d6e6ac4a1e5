// Thumbnails per second for large camera photos: the browser's loader and
// frame over a medium of 24-megapixel JPEGs made by ImageMagick, once with
// the decode reduced to the thumbnail size while decoding, once decoding
// every photo at full size.  Prints figures only.
//
//   bench_thumbs [program folder] [photos] [geometry]
// The program folder holds FsScanner.cfg and icons/ (default: the build's
// app folder next to this program's folder); defaults 8 photos, 6000x4000.

#include <glib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "media/Reader.h"
#include "shell/Config.h"
#include "thumbs/FilePixbufLoader.h"
#include "thumbs/PixbufFrame.h"

namespace {

class BytesReader : public Reader {
 public:
  explicit BytesReader(std::string bytes) : bytes_(std::move(bytes)) { setSize(bytes_.size()); }
  bool read(uint64_t offset, void* buffer, uint64_t size) override {
    if (!Reader::fits(offset, size, bytes_.size())) return false;
    bytes_.copy(static_cast<char*>(buffer), size, offset);
    return true;
  }

 private:
  std::string bytes_;
};

std::string defaultProgramFolder(const char* argv0) {
  std::string self = argv0;
  size_t slash = self.rfind('/');
  return (slash == std::string::npos ? "." : self.substr(0, slash)) + "/../app";
}

// A photo-like JPEG: a plasma picture enlarged, with sensor-like noise.
std::string makePhoto(const std::string& geometry) {
  gchar* folder = g_dir_make_tmp("mzk-bench-XXXXXX", nullptr);
  if (!folder) return std::string();
  const std::string path = std::string(folder) + "/photo.jpg";
  const std::string command = "convert -size 1200x800 plasma:fractal -resize '" + geometry +
                              "!' -attenuate 0.15 +noise Gaussian -quality 92 '" + path + "'";
  std::string bytes;
  gchar* data = nullptr;
  gsize length = 0;
  if (system(command.c_str()) == 0 && g_file_get_contents(path.c_str(), &data, &length, nullptr))
    bytes.assign(data, length);
  g_free(data);
  unlink(path.c_str());
  rmdir(folder);
  g_free(folder);
  return bytes;
}

// Thumbnails per second over every photo of the medium.
double thumbnailsPerSecond(FileCase& fileCase, const ConfigRecord& config, bool reduced,
                           const std::vector<FileModule::File>& files, int* size) {
  FilePixbufLoader loader(&fileCase, config);
  PixbufFrame frame(config);
  if (reduced) loader.setDecodeLimit(frame.iconWidth(), frame.iconHeight());
  const auto start = std::chrono::steady_clock::now();
  for (const FileModule::File& file : files) {
    GdkPixbuf* picture = loader.load(file);
    if (!picture) return 0;
    *size = gdk_pixbuf_get_width(picture);
    GdkPixbuf* framed = frame.frame(picture);
    g_object_unref(framed);
    g_object_unref(picture);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return files.size() / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : defaultProgramFolder(argv[0]);
  const int count = argc > 2 ? atoi(argv[2]) : 8;
  const std::string geometry = argc > 3 ? argv[3] : "6000x4000";
  const std::string photo = makePhoto(geometry);
  if (photo.empty()) {
    fprintf(stderr, "bench_thumbs: ImageMagick's convert could not make the photos\n");
    return 1;
  }
  ConfigRecord config;
  config.set("Program Path", folder);
  try {
    FileCase fileCase(config, allFileSystems());
    std::string medium;
    std::vector<FileModule::File> files;
    for (int i = 0; i < count; ++i) {
      FileModule::File file;
      file.offset = medium.size();
      file.size = photo.size();
      file.attributes.set("t", "jpeg");
      files.push_back(file);
      medium += photo;
      medium.resize((medium.size() + 511) / 512 * 512, '\0');
    }
    fileCase.setReader(new BytesReader(medium));
    printf("%d photos of %s, %zu bytes each\n", count, geometry.c_str(), photo.size());
    for (bool reduced : {true, false}) {
      int width = 0;
      const double rate = thumbnailsPerSecond(fileCase, config, reduced, files, &width);
      printf("%-34s %7.2f thumbnails/s (decoded %d pixels wide)\n",
             reduced ? "reduced decode (size-prepared):" : "full-size decode, then scaled:", rate,
             width);
    }
  } catch (const std::exception& e) {
    fprintf(stderr, "bench_thumbs: %s (program folder %s)\n", e.what(), folder.c_str());
    return 1;
  }
  return 0;
}
