// Today's formats in the shapes no tool writes on request: Canon raw files
// built from their box layout, HEIF previews and open-ended data, Matroska
// clusters of unknown size, chained and neighbouring files, unknown FLAC
// lengths, WebP chunks that do not fill their form, brands that belong to
// the MOV module.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/FileModuleRegistry.h"
#include "engine/modules/ExifDate.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/ScannedCase.h"
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
  for (const char* name : {"photo.heic", "film.mkv", "live.mkv", "song.ogg", "song.opus", "song.flac", "report.pdf", "photo.webp",
                           "clip.mp4", "song.m4a"})
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
  // Hostile fields: a thumbnail longer than its box, a document type of
  // another EBML format, a page checksum, a picture chunk without its start
  // code, a movie without its "moov" box.
  std::string longThumb = cr3;
  setBe32(longThumb, cr3.find("THMB") + 12, 0x7FFFFFFF);
  std::string otherDocument = mediaFile("film.mkv")->bytes;
  otherDocument.replace(otherDocument.find("matroska"), 8, "matrosky");
  std::string badPage = ogg;
  badPage[22] ^= 1;
  std::string noStartCode = webp;
  noStartCode[23] ^= 1;
  std::string noMovie = mediaFile("song.m4a")->bytes;
  noMovie.replace(noMovie.find("moov"), 4, "free");

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
      {"cr3", "a thumbnail longer than its box", longThumb,
       sized(cr3, "cr3 raw " + k2021 + " preview " + std::to_string(cr3.find(big)) + "+" + std::to_string(big.size()) + " 1620x1080 c6")},
      {"heif", "HEVC thumbnail with its configuration", heic, sized(heic, "heic " + k2021 + " preview")},
      {"heif", "open-ended mdat", openHeic, sized(heic, "heic " + k2021 + " preview")},
      {"heif", "cut after its item structure", heic.substr(0, mdat), "refused"},
      {"m4a", "an MPEG-4 brand of the MOV module", mediaFile("clip.mp4")->bytes, "refused"},
      {"mkv", "clusters of unknown size", openClusters(live), sized(live, "mkv")},
      {"ogg", "the next link of a chain", ogg + mediaFile("song.opus")->bytes, sized(ogg, "ogg")},
      {"flac", "no sample count: the last frame by its subframes", unknownLength, sized(flac, "flac")},
      {"pdf", "another PDF right after it", pdf + pdf, sized(pdf, "pdf @1622865782")},
      {"webp", "chunks that do not fill the form", overfull, "refused"},
      {"webp", "a picture chunk without its start code", noStartCode, "refused"},
      {"mkv", "another EBML document", otherDocument, "refused"},
      {"ogg", "a first page whose checksum is wrong", badPage, "refused"},
      {"m4a", "no movie box", noMovie, "refused"},
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

namespace {

// A PDF whose objects 1, 2, ... have these bodies, with a cross-reference
// table and a trailer that names object `info` as the document information.
std::string pdfWith(const std::vector<std::string>& objects, int info, const std::string& tail = "") {
  std::string out = "%PDF-1.4\n";
  std::vector<size_t> at;
  for (size_t i = 0; i < objects.size(); ++i) {
    at.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  size_t xref = out.size();
  out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : at) {
    char entry[21];
    snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    out += entry;
  }
  return out + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R /Info " + std::to_string(info) +
         " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n" + tail;
}

}  // namespace

TEST(ModernStructures, PdfEndsTitlesAndDates) {
  const std::string catalog = "<< /Type /Catalog >>";
  const std::string streamed = pdfWith({catalog, "<< /Length 6 >>\nstream\n%%EOF\nendstream", "<< /Title (Inside) >>"}, 3);
  std::string wrongXref = pdfWith({catalog}, 1);
  wrongXref.replace(wrongXref.rfind("startxref\n") + 10, 1, "1");  // points at the header's digits
  const struct {
    const char* what;
    std::string file, expected;
  } cases[] = {
      {"escapes in a literal string", pdfWith({catalog, "<< /Title (Caf\\351 \\(draft\\) \\\\ 1) >>"}, 2), "Caf\xC3\xA9 (draft) \\ 1"},
      {"UTF-16 in a hexadecimal string", pdfWith({catalog, "<</Title<FEFF00C4 0070 0066 0065 006C>>>"}, 2), "\xC3\x84pfel"},
      {"a date with its zone", pdfWith({catalog, "<< /CreationDate (D:20210605060302+02'00) >>"}, 2), "@1622865782"},
      {"a date of a year only", pdfWith({catalog, "<< /CreationDate (D:2021) >>"}, 2), "@1609459200"},
      {"a title by reference", pdfWith({catalog, "<< /Title 3 0 R >>", "(Elsewhere)"}, 2), ""},
      {"information not in the table", pdfWith({catalog}, 7), ""},
      {"an end marker inside a stream", streamed, "Inside"},
      {"a startxref that points at no table", wrongXref, "refused"},
  };
  static FileModuleRegistry registry;
  for (auto& c : cases) {
    std::string medium = c.file + noise(1024, 2);
    MemoryReader reader(medium.data(), medium.size());
    FileModule::File f;
    std::string got = "refused";
    if (registry.findModule("pdf")->analyze(reader, f)) {
      EXPECT_EQ(f.size, c.file.size()) << c.what;
      got = f.attributes.getString("name") + (f.attributes.has("time") ? "@" + std::to_string(f.attributes.getInt32("time", 0)) : "");
    }
    EXPECT_EQ(got, c.expected) << c.what;
  }
}

// Documents cut short before and after a whole one, on a medium larger than
// the block cache and not of zeros (which the cache keeps for free): each
// search for an end marker runs to the window's end, and the stretch one
// search found empty is not read again by the next.
TEST(ModernStructures, PdfsCutShortAreSearchedForTheirEndOnce) {
  const std::string whole = pdfWith({"<< /Type /Catalog >>", "<< /Title (Whole) >>"}, 2);
  const uint64_t kMiB = 1 << 20, kSize = 96 * kMiB;
  auto* medium = new MemoryReader(std::vector<uint8_t>(kSize, 0xAA));
  for (uint64_t at = 0; at < 12 * kMiB; at += kMiB) medium->put(at + 4096, whole.substr(0, whole.find("xref")));
  medium->put(6 * kMiB, whole);
  ScannedCase scanned(medium);  // the case owns the medium
  std::vector<std::string> pdfs;
  for (const std::string& key : scanned.fileCase().order()) {
    const FileModule::File* f = scanned.fileCase().findFile(key);
    if (f->attributes.getString("t") == "pdf")
      pdfs.push_back(std::to_string(f->offset) + "+" + std::to_string(f->size) + " " + f->attributes.getString("name"));
  }
  EXPECT_EQ(std::vector<std::string>{std::to_string(6 * kMiB) + "+" + std::to_string(whole.size()) + " Whole"}, pdfs);
  EXPECT_LT(medium->bytesRead, 2 * kSize) << "read " << medium->bytesRead / kMiB << " MiB";
}

TEST(ModernStructures, ExifDatesCountFrom1970AndBadOnesAreRefused) {
  const struct {
    const char* text;
    int64_t seconds;  // -1: refused
  } cases[] = {{"1970:01:01 00:00:00", 0},          {"2000:02:29 12:00:00", 951825600}, {"2021:06:05 04:03:02", 1622865782},
               {"2106:02:07 06:28:15", 4294967295}, {"2021:13:05 04:03:02", -1},        {"2021:06:05 24:03:02", -1},
               {"2021-06-05 04:03:02", -1},         {"    :  :     :  :  ", -1}};
  for (auto& c : cases) {
    int64_t seconds = -1;
    bool ok = parseExifDate(c.text, strlen(c.text), seconds);
    EXPECT_EQ(ok ? seconds : -1, c.seconds) << c.text;
  }
}
