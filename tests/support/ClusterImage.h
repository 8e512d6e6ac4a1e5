// Images whose files lie in whole clusters, some cut into pieces with other
// clusters between them, as a card fills and empties; and small photos and
// movies made by ImageMagick, cjpeg and ffmpeg for the fragment tests.
#pragma once

#include <cstdint>
#include <string>

namespace mzktest {

class ClusterImage {
 public:
  explicit ClusterImage(uint64_t clusterBytes, uint32_t seed = 1) : cluster_(clusterBytes), seed_(seed) {}
  // Whole clusters of noise.
  void noise(unsigned clusters);
  // Bytes [from, to) of `file` from the next cluster on, padded with noise
  // to a whole cluster; the medium offset where they begin.
  uint64_t piece(const std::string& file, uint64_t from, uint64_t to);
  uint64_t add(const std::string& file) { return piece(file, 0, file.size()); }
  const std::string& bytes() const { return image_; }

 private:
  uint64_t cluster_;
  uint32_t seed_;
  std::string image_;
};

// A photo `convert` makes from `args` ("-seed 3 -size 320x240
// plasma:fractal -quality 90"), empty when it cannot; made in `dir`.
std::string photo(const std::string& dir, const std::string& args, const std::string& name);
// The same picture written by cjpeg with `options` ("-restart 2"); empty
// without cjpeg.
std::string cjpegPhoto(const std::string& dir, const std::string& options, const std::string& name);
// A short ffmpeg test movie (a few hundred kilobytes, a key frame every ten
// frames): `codec` options ("-c:v libx264 -pix_fmt
// yuv420p") into `name` (its extension picks the container); empty on
// failure.
std::string movie(const std::string& dir, const std::string& codec, const std::string& name);

}  // namespace mzktest
