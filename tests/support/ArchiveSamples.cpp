#include "tests/support/ArchiveSamples.h"

#include <stdio.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace mzktest {

namespace {

const char kFodtTitle[] = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln";

// Flat OpenDocument files, the sources of the office documents.
std::string flatDocument(const std::string& kind, const std::string& title, const std::string& body) {
  std::string ns = "urn:oasis:names:tc:opendocument:xmlns:";
  return "<?xml version=\"1.0\"?><office:document xmlns:office=\"" + ns + "office:1.0\" xmlns:text=\"" + ns +
         "text:1.0\" xmlns:table=\"" + ns + "table:1.0\" xmlns:draw=\"" + ns + "drawing:1.0\" xmlns:dc=\"" +
         "http://purl.org/dc/elements/1.1/\" office:mimetype=\"application/vnd.oasis.opendocument." + kind + "\">" +
         "<office:meta><dc:title>" + title + "</dc:title></office:meta><office:body>" + body +
         "</office:body></office:document>\n";
}

const char kInstaller[] =
    "<Wix xmlns='http://schemas.microsoft.com/wix/2006/wi'><Product Id='*' Name='Mzk Sample' Language='1033' "
    "Version='1.0.0' Manufacturer='mzk' UpgradeCode='12345678-1234-1234-1234-123456789012'>"
    "<Package InstallerVersion='200' Compressed='yes'/><Media Id='1' Cabinet='s.cab' EmbedCab='yes'/>"
    "<Directory Id='TARGETDIR' Name='SourceDir'><Directory Id='ProgramFilesFolder'><Directory Id='D' Name='Mzk'>"
    "<Component Id='C' Guid='12345678-1234-1234-1234-123456789013'><File Id='F' Source='a.txt'/></Component>"
    "</Directory></Directory></Directory><Feature Id='Main' Level='1'><ComponentRef Id='C'/></Feature>"
    "</Product></Wix>";

uint32_t crc32Of(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

std::string sampleNoise() { return noise(20000, 77); }

// RAR 1.5-4 blocks: CRC (2; this walk does not check it), type, flags, size.
std::string rar4Archive() {
  std::string out("Rar!\x1A\x07\x00", 7);
  out += std::string("\0\0\x73\0\0\x0D\0", 7) + std::string(6, '\0');
  for (const auto& m : {std::make_pair(std::string("a.txt"), sampleText()), std::make_pair(std::string("b.bin"), sampleNoise())}) {
    out += std::string("\0\0\x74\0\x80", 5);  // a file with added data
    putLe16(out, uint16_t(32 + m.first.size()));
    for (int packedThenUnpacked = 0; packedThenUnpacked < 2; ++packedThenUnpacked) putLe32(out, uint32_t(m.second.size()));
    out += '\3';                              // Unix
    putLe32(out, crc32Of(m.second));
    putLe32(out, 0x5A8E3C21);                 // DOS time
    out += std::string("\x1D\x30", 2);        // version 2.9, stored
    putLe16(out, uint16_t(m.first.size()));
    putLe32(out, 0x20);
    out += m.first + m.second;
  }
  return out + std::string("\0\0\x7B\0\x40\x07\0", 7);
}

void putVint(std::string& out, uint64_t v) {
  do {
    uint8_t b = v & 0x7F;
    v >>= 7;
    out += char(v ? b | 0x80 : b);
  } while (v);
}

// A RAR 5 block: CRC32, header size, header (type, flags, data size when
// there is data, then `fields`), data.
std::string rar5Block(uint64_t type, const std::string& fields, const std::string& data = std::string()) {
  std::string header, sized, block;
  putVint(header, type);
  putVint(header, data.empty() ? 0 : 2);
  if (!data.empty()) putVint(header, data.size());
  putVint(sized, header.size() + fields.size());
  sized += header + fields;
  putLe32(block, crc32Of(sized));
  return block + sized + data;
}

std::string rar5Archive() {
  std::string out("Rar!\x1A\x07\x01\x00", 8), none(1, '\0');
  out += rar5Block(1, none);  // the main header, no archive flags
  for (const auto& m : {std::make_pair(std::string("a.txt"), sampleText()), std::make_pair(std::string("b.bin"), sampleNoise())}) {
    std::string fields;
    for (uint64_t v : {uint64_t(0), uint64_t(m.second.size()), uint64_t(0x20), uint64_t(0), uint64_t(1), uint64_t(m.first.size())})
      putVint(fields, v);  // flags, size, attributes, stored, Unix, name length
    out += rar5Block(2, fields + m.first, m.second);
  }
  return out + rar5Block(5, none);
}

// An Outlook Express folder: signature, class identifier, size at 0x7C.
std::string dbxFolder(uint32_t size) {
  std::string out("\xCF\xAD\x12\xFE\xC5\xFD\x74\x6F\x66\xE3\xD1\x11\x9A\x4E\x00\xC0\x4F\xA3\x09\xD4"
                  "\x05\x00\x00\x00\x05\x00\x00\x00", 28);
  out.resize(size, '\0');
  setLe32(out, 0x7C, size);
  return out;
}

struct Recipe {
  const char* name;
  const char* type;
  const char* tool;     // checked with haveTool; null: none needed
  const char* command;  // run in a folder holding a.txt, b.bin and the sources; writes `name`
};

// Streaming "zip -" writes data descriptors (its output cannot seek back);
// from standard input it also writes ZIP64 sizes.
const Recipe kRecipes[] = {
    {"stored.zip", "zip", "zip", "zip -q -0 stored.zip a.txt b.bin"},
    {"deflated.zip", "zip", "zip", "zip -q -9 deflated.zip a.txt b.bin"},
    {"streamed.zip", "zip", "zip", "echo 'carved by mzk' | zip -q -z - a.txt b.bin | cat > streamed.zip"},
    {"stdin.zip", "zip", "zip", "cat a.txt b.bin | zip -q - - | cat > stdin.zip"},
    {"old.rar", "rar", nullptr, nullptr},
    {"new.rar", "rar", nullptr, nullptr},
    {"archive.arj", "arj", "arj", "arj a -y archive.arj a.txt b.bin"},
    {"level0.lzh", "lzh", "lha", "lha a0 level0.lzh a.txt b.bin"},
    {"level1.lzh", "lzh", "lha", "lha a1 level1.lzh a.txt b.bin"},
    {"level2.lzh", "lzh", "lha", "lha a2 level2.lzh a.txt b.bin"},
    {"Inbox.dbx", "dbx", nullptr, nullptr},
    {"letter.doc", "doc", "soffice", nullptr},
    {"sheet.xls", "xls", "soffice", nullptr},
    {"slides.ppt", "ppt", "soffice", nullptr},
    {"letter.docx", "docx", "soffice", nullptr},
    {"letter.odt", "odt", "soffice", nullptr},
    {"setup.msi", "msi", "wixl", "wixl -o setup.msi setup.wxs"},
    {"users-and-groups.html", "html", nullptr, "cp /usr/share/doc/base-passwd/users-and-groups.html ."},
    {"mime-spec.xml", "xml", nullptr, "zcat /usr/share/doc/shared-mime-info/shared-mime-info-spec.xml.gz > mime-spec.xml"},
    {"notes.txt", "txt", nullptr, nullptr},
};

// The office documents, all in one go: LibreOffice is slow to start.
void makeOfficeDocuments(const TempDir& work) {
  std::string profile = "-env:UserInstallation=file://" + work.file("profile");
  writeFile(work.file("letter.fodt"), flatDocument("text", kFodtTitle, "<office:text><text:p>Hi</text:p></office:text>"));
  writeFile(work.file("sheet.fods"), flatDocument("spreadsheet", "Sheet title",
                                                  "<office:spreadsheet><table:table table:name='S'><table:table-row>"
                                                  "<table:table-cell/></table:table-row></table:table></office:spreadsheet>"));
  writeFile(work.file("slides.fodp"),
            flatDocument("presentation", "Slides", "<office:presentation><draw:page draw:name='p'/></office:presentation>"));
  for (const char* conversion : {"doc letter.fodt", "docx letter.fodt", "odt letter.fodt", "xls sheet.fods", "ppt slides.fodp"})
    sh("cd " + quote(work.path()) + " && soffice " + quote(profile) + " --headless --convert-to " + conversion);
}

std::string make(const Recipe& recipe, const TempDir& work) {
  std::string name = recipe.name;
  if (name == "old.rar") return rar4Archive();
  if (name == "new.rar") return rar5Archive();
  if (name == "Inbox.dbx") return dbxFolder(0x24BC + 3000);
  if (name == "notes.txt") return sampleText();
  if (recipe.tool && std::string(recipe.tool) == "soffice") {
    if (!haveTool("soffice")) return std::string();
    if (!work.exists(name)) makeOfficeDocuments(work);
  } else if (recipe.command) {
    if (recipe.tool && !haveTool(recipe.tool)) return std::string();
    sh("cd " + quote(work.path()) + " && (" + recipe.command + ")");
  }
  return readFile(work.file(name));
}

std::vector<Sample> loadSamples() {
  std::string cache = std::string(MZK_APP_DIR) + "/../tests/archive-samples";
  sh("mkdir -p " + quote(cache));
  TempDir work("mzk-samples");
  writeFile(work.file("a.txt"), sampleText());
  writeFile(work.file("b.bin"), sampleNoise());
  writeFile(work.file("setup.wxs"), kInstaller);
  std::vector<Sample> samples;
  for (const Recipe& recipe : kRecipes) {
    std::string path = cache + "/" + recipe.name;
    std::string bytes = readFile(path);
    if (bytes.empty()) {
      bytes = make(recipe, work);
      if (bytes.empty()) continue;
      // Other test processes may make it too: nobody reads half a file.
      writeFile(path + "." + std::to_string(getpid()), bytes);
      rename((path + "." + std::to_string(getpid())).c_str(), path.c_str());
    }
    samples.push_back({recipe.name, recipe.type, bytes});
  }
  return samples;
}

}  // namespace

std::string sampleText() {
  std::string text;
  for (int i = 1; i <= 120; ++i)
    text += "Line " + std::to_string(i) + " of the notes: Gr\xC3\xBC\xC3\x9F" "e, caf\xC3\xA9 and plain words.\n";
  return text;
}

const std::vector<Sample>& archiveSamples() {
  static const std::vector<Sample> samples = loadSamples();
  return samples;
}

const Sample* archiveSample(const std::string& name) {
  for (const Sample& s : archiveSamples())
    if (s.name == name) return &s;
  return nullptr;
}

}  // namespace mzktest
