// The search for the rest of a file cut into pieces: photos and movies in
// two and three pieces among noise and other files come back exactly;
// what cannot be proven is never taken for a whole file; the budget holds.

#include <gtest/gtest.h>

#include "engine/BackgroundJudge.h"
#include "engine/FormatValidator.h"
#include "engine/FragmentedCarving.h"
#include "engine/FragmentReader.h"
#include "engine/FragmentSearch.h"
#include "media/BlockCache.h"
#include "media/ReaderReader.h"
#include "tests/support/ArchiveSamples.h"
#include "tests/support/ClusterImage.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

struct Files {
  TempDir dir;
  std::string baseline, progressive, restart, other, sameEncoder, moovLast, moovFirst;
  Files() {
    const std::string d = dir.path();
    baseline = photo(d, "-seed 3 -size 480x360 plasma:fractal -quality 92", "a.jpg");
    progressive = photo(d, "-seed 4 -size 480x360 plasma:fractal -interlace Plane -quality 90", "b.jpg");
    restart = cjpegPhoto(d, "-restart 1", "c.jpg");
    other = photo(d, "-seed 6 -size 320x240 plasma:fractal -quality 80", "d.jpg");
    sameEncoder = cjpegPhoto(d, "-restart 1 -quality 60", "e.jpg");
    moovLast = movie(d, "-c:v libx264 -pix_fmt yuv420p -crf 12", "f.mp4");
    moovFirst = movie(d, "-c:v libx264 -pix_fmt yuv420p -crf 12 -movflags faststart", "g.mp4");
  }
};

Files& files() {
  static Files f;
  return f;
}

enum class Gap { kNoise, kOtherPhoto, kAnotherMiddle };

struct Split {
  const char* name;
  const std::string Files::*file;
  const char* type;
  uint64_t cluster;
  std::vector<double> cuts;  // fractions of the file where a piece ends
  Gap gap;
};

SearchResult searchIn(const std::string& image, uint64_t start, const char* type, uint64_t cluster,
                      const SearchLimits& limits = SearchLimits()) {
  MemoryReader medium(image.data(), image.size());
  auto validator = validatorFor(type);
  ClusterGrid grid;
  grid.clusterBytes = cluster;
  FragmentSearch search(medium, *validator, grid, limits, [](uint64_t) { return true; });
  return search.search(start, 0, 64 << 20);
}

std::string readRuns(const std::string& image, const ByteRuns& runs) {
  MemoryReader medium(image.data(), image.size());
  FragmentReader reader(&medium);
  reader.aim(runs);
  std::string bytes(reader.size(), '\0');
  return reader.read(0, &bytes[0], bytes.size()) ? bytes : std::string();
}

}  // namespace

TEST(FragmentSearch, PiecesAmongNoiseAndOtherFilesComeBackExactly) {
  const Split splits[] = {
      {"baseline in two", &Files::baseline, "jpeg", 4096, {0.4}, Gap::kNoise},
      {"baseline in three", &Files::baseline, "jpeg", 4096, {0.3, 0.7}, Gap::kOtherPhoto},
      {"progressive in three", &Files::progressive, "jpeg", 8192, {0.25, 0.6}, Gap::kAnotherMiddle},
      {"restart markers", &Files::restart, "jpeg", 2048, {0.5}, Gap::kAnotherMiddle},
      {"movie, index last, in two", &Files::moovLast, "mp4", 4096, {0.5}, Gap::kOtherPhoto},
      {"movie, index last, in three", &Files::moovLast, "mp4", 8192, {0.3, 0.8}, Gap::kNoise},
      {"movie, index first", &Files::moovFirst, "mp4", 4096, {0.6}, Gap::kNoise},
  };
  for (const Split& s : splits) {
    const std::string& file = files().*s.file;
    if (file.empty()) continue;  // its tool is missing
    SCOPED_TRACE(s.name);
    ClusterImage image(s.cluster);
    image.noise(2);
    std::vector<uint64_t> at;
    uint64_t from = 0;
    std::vector<double> cuts = s.cuts;
    cuts.push_back(1.0);
    for (size_t i = 0; i < cuts.size(); ++i) {
      uint64_t to = i + 1 == cuts.size() ? file.size() : uint64_t(file.size() * cuts[i]) / s.cluster * s.cluster;
      ASSERT_LT(from, to) << "pieces of at least a cluster";
      at.push_back(image.piece(file, from, to));
      from = to;
      if (i + 1 == cuts.size()) break;
      if (s.gap == Gap::kNoise) image.noise(3);
      if (s.gap == Gap::kOtherPhoto) image.add(files().other);
      if (s.gap == Gap::kAnotherMiddle) image.piece(files().progressive, 4096, 4096 + 3 * s.cluster);
    }
    image.noise(2);
    SearchResult r = searchIn(image.bytes(), at[0], s.type, s.cluster);
    ASSERT_EQ(SearchResult::kWhole, r.outcome) << r.stop;
    ASSERT_EQ(at.size(), r.runs.size());
    for (size_t i = 0; i < at.size(); ++i) EXPECT_EQ(at[i], r.runs[i].imageOffset);
    EXPECT_TRUE(readRuns(image.bytes(), r.runs) == file);
  }
}

TEST(FragmentSearch, WithoutItsRestAFileIsAtMostPartial) {
  const uint64_t cluster = 4096;
  struct Case {
    const char* name;
    const std::string Files::*file;
    const char* type;
    const std::string Files::*filler;  // lies where the rest would
  } cases[] = {
      {"photo, the rest of a photo from the same encoder after it", &Files::restart, "jpeg", &Files::sameEncoder},
      {"photo, another photo after it", &Files::baseline, "jpeg", &Files::other},
      {"movie, photos after it", &Files::moovLast, "mp4", &Files::other},
  };
  for (const Case& c : cases) {
    const std::string& file = files().*c.file;
    const std::string& filler = files().*c.filler;
    if (file.empty() || filler.empty()) continue;
    SCOPED_TRACE(c.name);
    ClusterImage image(cluster);
    uint64_t start = image.piece(file, 0, file.size() / 2 / cluster * cluster);
    image.piece(filler, filler.size() / 3 / cluster * cluster, filler.size());
    image.add(filler);
    image.noise(4);
    SearchResult r = searchIn(image.bytes(), start, c.type, cluster);
    EXPECT_NE(SearchResult::kWhole, r.outcome);
    // What is kept reads as the file's own beginning.
    if (r.outcome == SearchResult::kPartial) {
      ASSERT_EQ(1u, r.runs.size());
      EXPECT_TRUE(readRuns(image.bytes(), r.runs) == file.substr(0, r.size));
    }
  }
}

TEST(FragmentSearch, TheBudgetEndsTheSearch) {
  const std::string& file = files().baseline;
  const uint64_t cluster = 2048;
  ClusterImage image(cluster);
  uint64_t start = image.piece(file, 0, cluster * 3);
  image.noise(200);
  image.piece(file, cluster * 3, file.size());
  SearchLimits limits;
  limits.maxChecks = 20;
  SearchResult r = searchIn(image.bytes(), start, "jpeg", cluster, limits);
  EXPECT_EQ("budget", r.stop);
  EXPECT_LE(r.checks, 21u);
  limits = SearchLimits();
  limits.maxGapClusters = 100;  // the rest lies further
  EXPECT_NE(SearchResult::kWhole, searchIn(image.bytes(), start, "jpeg", cluster, limits).outcome);
  EXPECT_EQ(SearchResult::kWhole, searchIn(image.bytes(), start, "jpeg", cluster).outcome);
}

TEST(FragmentedCarving, TheClusterSizeIsTheLargestThatMostFileStartsAgreeOn) {
  struct Case {
    const char* name;
    std::vector<uint64_t> starts;
    uint64_t clusterBytes, origin;
  } cases[] = {
      {"camera card, 32 KiB", {0x10000, 0x38000, 0x98000, 0x120000}, 0x8000, 0},
      {"a data area that starts off the grid", {0x4200, 0x14200, 0x24200, 0x34200}, 0x10000, 0x4200},
      {"one start off the grid among many", {0x8000, 0x18000, 0x20000, 0x40000, 0x48000, 0x50000, 0x10200}, 0x8000, 0},
      {"two starts say nothing", {0x10000, 0x20000}, 512, 0},
      {"no agreement", {0x200, 0x1400, 0x2600, 0x3800}, 512, 0},
  };
  for (const Case& c : cases) {
    ClusterGrid grid = FragmentedCarving::gridFromStarts(c.starts);
    EXPECT_EQ(c.clusterBytes, grid.clusterBytes) << c.name;
    EXPECT_EQ(c.origin, grid.origin) << c.name;
  }
}

// The judging thread proves files over the cache's blocks exactly as the
// walk would over the medium; past its bound it refuses jobs, untouched.
TEST(BackgroundJudge, ProvesWhatTheWalkWouldAndRefusesPastItsBound) {
  const std::string& whole = files().baseline;
  std::string cut = whole.substr(0, whole.size() / 2);
  std::string garbled = files().progressive;
  for (size_t i = garbled.size() / 3; i < garbled.size() / 3 + 700; ++i) garbled[i] = char(i * 7);
  std::string image;
  std::vector<std::pair<uint64_t, uint64_t>> placed;
  for (const std::string* f : std::vector<const std::string*>{&whole, &cut, &garbled, &files().restart, &whole}) {
    image.append(1000, '\x55');
    placed.push_back({image.size(), f->size()});
    image += *f;
  }
  MemoryReader medium(image.data(), image.size());
  BlockCache cache(&medium, 4096, 64 << 20);
  // Room for about two of the files at a time: the last ones may be refused.
  BackgroundJudge judge(2 * whole.size());
  std::vector<BackgroundJudge::Verdict> verdicts;
  size_t refused = 0;
  for (size_t i = 0; i < placed.size(); ++i) {
    BackgroundJudge::Job job;
    job.id = i + 1;
    job.type = "jpeg";
    job.offset = placed[i].first;
    job.size = placed[i].second;
    for (uint64_t at = job.offset; at < job.offset + job.size; at += 4096 - at % 4096) job.blocks.push_back(cache.block(at));
    if (!judge.offer(job, verdicts)) {
      EXPECT_EQ(job.offset, placed[i].first);
      EXPECT_FALSE(job.blocks.empty());
      ++refused;
    }
  }
  judge.finish(verdicts);
  EXPECT_EQ(placed.size(), verdicts.size() + refused);
  for (const BackgroundJudge::Verdict& v : verdicts) {
    ReaderReader window(&medium);
    ASSERT_TRUE(window.setWindow(placed[v.id - 1].first, placed[v.id - 1].second));
    FormatProof expected = validatorFor("jpeg")->check(window, 0, false);
    EXPECT_EQ(expected.verdict, v.proof.verdict) << v.id;
    EXPECT_EQ(expected.end, v.proof.end) << v.id;
    EXPECT_EQ(expected.failedAt, v.proof.failedAt) << v.id;
  }
}
