#include "tests/support/ClusterImage.h"

#include "tests/support/PhotoFiles.h"
#include "tests/support/Tools.h"

namespace mzktest {

void ClusterImage::noise(unsigned clusters) { image_ += mzktest::noise(clusters * cluster_, seed_++); }

uint64_t ClusterImage::piece(const std::string& file, uint64_t from, uint64_t to) {
  uint64_t at = image_.size();
  image_ += file.substr(from, to - from);
  if (image_.size() % cluster_) image_ += mzktest::noise(cluster_ - image_.size() % cluster_, seed_++);
  return at;
}

std::string photo(const std::string& dir, const std::string& args, const std::string& name) {
  return magick(dir, args, name);
}

std::string cjpegPhoto(const std::string& dir, const std::string& options, const std::string& name) {
  if (!haveTool("cjpeg")) return std::string();
  std::string ppm = dir + "/" + name + ".ppm", out = dir + "/" + name;
  if (!sh("convert -seed 9 -size 320x240 plasma:fractal " + quote(ppm)) ||
      !sh("cjpeg " + options + " " + quote(ppm) + " > " + quote(out)))
    return std::string();
  return readFile(out);
}

std::string movie(const std::string& dir, const std::string& codec, const std::string& name) {
  std::string out = dir + "/" + name;
  if (!sh("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 3 -g 10 " + codec +
          " " + quote(out)))
    return std::string();
  return readFile(out);
}

}  // namespace mzktest
