// How well and how fast files in pieces are put back together: photos and
// movies split into two and three pieces at cluster boundaries, with noise,
// other photos or the middle of a photo from the same encoder between the
// pieces, at camera cluster sizes; then deleted photos on a FAT card around
// live ones.  Prints how many come back byte-exact, how many are wrongly
// taken for whole (must be none), how many stay partial, and the time,
// checks and reads of each search.
//
//   bench_fragments [photos]     (default 24; needs convert, cjpeg, ffmpeg,
//                                 mkfs.vfat and mtools)

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "engine/FormatValidator.h"
#include "engine/FragmentReader.h"
#include "engine/FragmentSearch.h"
#include "engine/RebuiltFile.h"
#include "engine/ScanRun.h"
#include "filesystems/FileSystems.h"
#include "media/ReaderFile.h"
#include "shell/Config.h"

namespace {

class Bytes : public Reader {
 public:
  explicit Bytes(const std::string& b) : b_(b) { setSize(b.size()); }
  bool read(uint64_t offset, void* out, uint64_t n) override {
    if (!fits(offset, n, b_.size())) return false;
    std::copy(b_.begin() + offset, b_.begin() + offset + n, static_cast<char*>(out));
    return true;
  }

 private:
  const std::string& b_;
};

std::string folder;
bool sh(const std::string& command) { return system((command + " >/dev/null 2>&1").c_str()) == 0; }
std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
std::string make(const std::string& command, const std::string& name) {
  std::string path = folder + "/" + name;
  return sh("(" + command + " '" + path + "')") ? slurp(path) : std::string();
}

struct Figures {
  int exact = 0, wrong = 0, partial = 0;
  double total = 0, longest = 0;
  uint64_t checks = 0, reads = 0;
  void print(const char* what) const {
    int n = exact + wrong + partial;
    printf("%-34s %4d files: %4d byte-exact, %d wrongly whole, %3d not proven; per search %.1f ms (longest %.0f ms), "
           "%llu checks, %llu reads\n",
           what, n, exact, wrong, partial, n ? 1000 * total / n : 0, 1000 * longest,
           (unsigned long long)(n ? checks / n : 0), (unsigned long long)(n ? reads / n : 0));
  }
};

void splitAndSearch(const std::string& file, const std::string& type, const std::string& filler, std::mt19937& rng,
                    Figures& f) {
  const uint64_t clusters[] = {4096, 16384, 32768};
  const uint64_t c = clusters[rng() % 3];
  const int pieces = 2 + int(rng() % 2);
  if (file.size() < uint64_t(pieces + 1) * c) return;
  std::string image;
  auto noise = [&](uint64_t n) {
    for (uint64_t i = 0; i < n; ++i) image += char(0x80 + rng() % 127);
  };
  auto pad = [&] { noise((c - image.size() % c) % c); };
  noise(2 * c);
  const uint64_t start = image.size();
  std::vector<uint64_t> cuts;
  for (int i = 1; i < pieces; ++i) cuts.push_back((1 + rng() % (file.size() / c - 1)) * c);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  cuts.push_back(file.size());
  uint64_t from = 0;
  for (uint64_t to : cuts) {
    image += file.substr(from, to - from);
    pad();
    from = to;
    switch (rng() % 3) {
      case 0: noise((1 + rng() % 4) * c); break;
      case 1: image += filler; pad(); break;
      default: image += filler.substr(filler.size() / 3, 2 * c); pad(); break;
    }
  }
  Bytes medium(image);
  auto validator = validatorFor(type);
  ClusterGrid grid;
  grid.clusterBytes = c;
  FragmentSearch search(medium, *validator, grid, SearchLimits(), [](uint64_t) { return true; });
  SearchResult r = search.search(start, 0, 64 << 20);
  f.total += r.seconds;
  f.longest = std::max(f.longest, r.seconds);
  f.checks += r.checks;
  f.reads += r.reads;
  if (r.outcome != SearchResult::kWhole) {
    ++f.partial;
    return;
  }
  FragmentReader reader(&medium);
  reader.aim(r.runs);
  std::string back(reader.size(), '\0');
  bool same = reader.read(0, &back[0], back.size()) && back == file;
  ++(same ? f.exact : f.wrong);
}

// A FAT card filled with photos, every other one deleted, a large photo
// written into the gaps and deleted: scanned as the program scans.
void deletedOnACard(int rounds, Figures& f) {
  for (int round = 0; round < rounds; ++round) {
    std::string card = folder + "/card.img";
    std::string large =
        make("convert -seed " + std::to_string(100 + round) + " -size 1600x1200 plasma:fractal -quality 93", "l.jpg");
    int spc = round % 2 ? 64 : 32;
    if (large.empty() || !sh("rm -f '" + card + "' && truncate -s 128M '" + card + "' && mkfs.vfat -F 16 -s " +
                             std::to_string(spc) + " '" + card + "'"))
      return;
    std::string m = "MTOOLS_SKIP_CHECK=1 ";
    for (int i = 1; i <= 10; ++i)
      sh("convert -seed " + std::to_string(200 + 10 * round + i) + " -size 400x300 plasma:fractal " + folder +
         "/s.jpg && " + m + "mcopy -i '" + card + "' " + folder + "/s.jpg ::S" + std::to_string(i) + ".JPG");
    for (int i = 2; i <= 10; i += 2) sh(m + "mdel -i '" + card + "' ::S" + std::to_string(i) + ".JPG");
    sh(m + "mcopy -i '" + card + "' " + folder + "/l.jpg ::LARGE.JPG && " + m + "mdel -i '" + card + "' ::LARGE.JPG");
    ConfigRecord config;
    char self[4096] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, n) : std::string();
    config.set("Program Path", dir.substr(0, dir.rfind('/')) + "/../app");
    FileCase fileCase(config, allFileSystems());
    std::unique_ptr<ReaderFile> reader(new ReaderFile);
    if (!reader->open(card.c_str())) return;
    fileCase.setReader(reader.release());
    auto begin = std::chrono::steady_clock::now();
    runScan(fileCase, config, nullptr);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    bool found = false;
    for (const auto& entry : fileCase.files()) {
      const FileModule::File& file = entry.second;
      if (file.size != large.size()) continue;
      found = true;
      Reader* r = fileCase.readerFor(file);
      std::string back(file.size, '\0');
      bool same = r && r->read(0, &back[0], back.size()) && back == large && !isPartial(file);
      ++(same ? f.exact : isPartial(file) ? f.partial : f.wrong);
    }
    if (!found) ++f.partial;
    f.total += seconds;
    f.longest = std::max(f.longest, seconds);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int photos = argc > 1 ? atoi(argv[1]) : 24;
  char scratch[] = "/tmp/mzk-bench-XXXXXX";
  if (!mkdtemp(scratch)) return 1;
  folder = scratch;
  std::mt19937 rng(2024);
  Figures baseline, progressive, restart, movies, deleted;
  const std::string sameEncoder = make("convert -seed 1 -size 640x480 plasma:fractal -quality 90", "f.jpg");
  for (int i = 0; i < photos; ++i) {
    std::string seed = "-seed " + std::to_string(10 + i) + " ";
    std::string size = std::to_string(800 + 40 * i) + "x" + std::to_string(600 + 30 * i);
    splitAndSearch(make("convert " + seed + "-size " + size + " plasma:fractal -quality 92", "a.jpg"), "jpeg",
                   sameEncoder, rng, baseline);
    splitAndSearch(make("convert " + seed + "-size " + size + " plasma:fractal -interlace Plane", "b.jpg"), "jpeg",
                   sameEncoder, rng, progressive);
    splitAndSearch(make("convert " + seed + "-size " + size + " plasma:fractal ppm:- | cjpeg -restart 2 >", "c.jpg"),
                   "jpeg", sameEncoder, rng, restart);
  }
  for (int i = 0; i < photos / 4 + 1; ++i) {
    std::string film = make("ffmpeg -nostdin -y -f lavfi -i testsrc2=size=320x240:rate=25 -t " + std::to_string(2 + i % 3) +
                                " -g 10 -c:v libx264 -pix_fmt yuv420p -crf " + std::to_string(12 + i % 8) +
                                (i % 2 ? " -movflags faststart" : ""),
                            "m.mp4");
    splitAndSearch(film, "mp4", sameEncoder, rng, movies);
  }
  deletedOnACard(4, deleted);
  baseline.print("carved baseline JPEG, 2-3 pieces");
  progressive.print("carved progressive JPEG, 2-3 pieces");
  restart.print("carved JPEG with restart markers");
  movies.print("carved MP4 (H.264), 2-3 pieces");
  deleted.print("deleted JPEG on FAT around live ones");
  printf("(for the deleted photos the time is that of the whole scan of a 128 MB card)\n");
  sh(std::string("rm -rf '") + scratch + "'");
  return baseline.wrong + progressive.wrong + restart.wrong + movies.wrong + deleted.wrong ? 2 : 0;
}
