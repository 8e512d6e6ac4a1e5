// Today's formats in the shapes no tool writes on request: Canon raw files
// built from their box layout, HEIF previews and open-ended data, Matroska
// clusters of unknown size, chained and neighbouring files, unknown FLAC
// lengths, WebP chunks that do not fill their form, brands that belong to
// the MOV module.

#include <gtest/gtest.h>

#include "engine/FileModuleRegistry.h"
#include "engine/modules/ExifDate.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

// What a module made of a file: its size, type and the attributes it set,
// in one line.
std::string judged(const char* module, const std::string& bytes) {
  static FileModuleRegistry registry;
  std::string medium = bytes + noise(2048, 3);
  MemoryReader reader(medium.data(), medium.size());
  FileModule::File f;
  if (!registry.findModule(module)->analyze(reader, f)) return "refused";
  const Attributes& a = f.attributes;
  std::string line = std::to_string(f.size) + " " + a.getString("t");
  if (a.getBool("raw", false)) line += " raw";
  if (a.has("time")) line += " @" + std::to_string(a.getInt32("time", -1));
  if (a.has("thumbnail_offset"))
    line += " preview " + std::to_string(a.getInt32("thumbnail_offset", -1)) + "+" + std::to_string(a.getInt32("thumbnail_size", -1)) +
            " " + std::to_string(a.getInt32("thumbnail_width", -1)) + "x" + std::to_string(a.getInt32("thumbnail_height", -1)) +
            " c" + std::to_string(a.getInt32("thumbnail_compression", -1));
  if (a.has("thumbnail_config_offset"))
    line += " config " + bytes.substr(size_t(a.getInt32("thumbnail_config_offset", 0)) + 4, 4) + "+" +
            std::to_string(a.getInt32("thumbnail_config_size", -1));
  return line;
}

std::string sized(const std::string& bytes, const std::string& rest) { return std::to_string(bytes.size()) + " " + rest; }

// The bytes with every Matroska cluster's size made unknown (as a live
// recorder writes them), its length kept.
std::string openClusters(std::string mkv) {
  for (size_t at = 0; (at = mkv.find("\x1F\x43\xB6\x75", at)) != std::string::npos; at += 4) {
    uint8_t first = uint8_t(mkv[at + 4]);
    int length = 1;
    while (length < 8 && !(first & (0x80 >> (length - 1)))) ++length;
    mkv[at + 4] = char(first | ((0x80 >> (length - 1)) - 1));
    for (int i = 1; i < length; ++i) mkv[at + 4 + i] = '\xFF';
  }
  return mkv;
}

}  // namespace

TEST(ModernStructures, SizesTypesTimesAndPreviews) {
  for (const char* name : {"photo.heic", "film.mkv", "live.mkv", "song.ogg", "song.opus", "song.flac", "report.pdf", "photo.webp", "clip.mp4"})
    if (mediaFile(name)->bytes.empty()) GTEST_SKIP() << "the tools for " << name << " are needed";
  const std::string heic = mediaFile("photo.heic")->bytes, live = mediaFile("live.mkv")->bytes;
  const std::string ogg = mediaFile("song.ogg")->bytes, flac = mediaFile("song.flac")->bytes;
  const std::string pdf = mediaFile("report.pdf")->bytes, webp = mediaFile("photo.webp")->bytes;
  const std::string thumb = "\xFF\xD8\xFF\xE0" + noise(600, 1) + "\xFF\xD9", big = "\xFF\xD8\xFF\xE1" + noise(3000, 2) + "\xFF\xD9";
  const std::string cr3 = canonRawFile(thumb, big, noise(20000, 4));
  const std::string previewOnly = canonRawFile("", big, noise(20000, 4));
  const std::string movie = canonRawFile("", "", noise(5000, 5), "CanonCRM0001/02.09.00/00.00.00");
  const std::string k2021 = "@" + std::to_string(secondsSince1970(2021, 6, 5, 4, 3, 2));

  // HEIC: the mdat box (the last) made open-ended; cut right after "meta".
  std::string openHeic = heic;
  size_t mdat = heic.rfind("mdat") - 4;
  openHeic.replace(mdat, 4, std::string(4, '\0'));
  std::string unknownLength = flac;
  unknownLength.replace(8 + 13, 5, std::string("\xF0\0\0\0\0", 5));  // 16 bits per sample, no sample count
  std::string overfull = webp;
  setLe32(overfull, 4, uint32_t(webp.size() - 8 + 2));

  const struct {
    const char* module;
    const char* what;
    std::string file, expected;
  } cases[] = {
      {"cr3", "thumbnail, preview and date", cr3,
       sized(cr3, "cr3 raw " + k2021 + " preview " + std::to_string(cr3.find(thumb)) + "+" + std::to_string(thumb.size()) + " 160x120 c6")},
      {"cr3", "preview only", previewOnly,
       sized(previewOnly, "cr3 raw " + k2021 + " preview " + std::to_string(previewOnly.find(big)) + "+" + std::to_string(big.size()) + " 1620x1080 c6")},
      {"cr3", "raw movie", movie, sized(movie, "crm raw " + k2021)},
      {"cr3", "picture data cut short", cr3.substr(0, cr3.size() - 3000), "refused"},
      {"heif", "HEVC thumbnail with its configuration", heic, sized(heic, "heic preview")},
      {"heif", "open-ended mdat", openHeic, sized(heic, "heic preview")},
      {"heif", "cut after its item structure", heic.substr(0, mdat), "refused"},
      {"m4a", "an MPEG-4 brand of the MOV module", mediaFile("clip.mp4")->bytes, "refused"},
      {"mkv", "clusters of unknown size", openClusters(live), sized(live, "mkv")},
      {"ogg", "the next link of a chain", ogg + mediaFile("song.opus")->bytes, sized(ogg, "ogg")},
      {"flac", "no sample count: the last frame by its subframes", unknownLength, sized(flac, "flac")},
      {"pdf", "another PDF right after it", pdf + pdf, sized(pdf, "pdf @1622865782")},
      {"webp", "chunks that do not fill the form", overfull, "refused"},
  };
  for (auto& c : cases) {
    std::string got = judged(c.module, c.file);
    // HEIF previews: only where they lie and that they are HEVC coded with
    // their configuration box are checked here; the picture is the
    // thumbnail test's.
    if (std::string(c.module) == "heif" && got.find(" preview ") != std::string::npos)
      got = got.substr(0, got.find(" preview ")) + " preview" +
            (got.find("96x72 c1752589105 config hvcC+") != std::string::npos ? "" : " wrong: " + got);
    EXPECT_EQ(got, c.expected) << c.module << ": " << c.what;
  }
}
