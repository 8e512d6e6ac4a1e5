// OLE compound documents: size from the FAT, type from the directory and
// the summary information.

#include "engine/modules/FileModuleOle.h"

#include <cstring>
#include <string>
#include <vector>

#include "engine/modules/OleCompoundFile.h"
#include "engine/modules/OleSummary.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const uint8_t kSignature[12] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0, 0, 0, 0};

// Directory entries: 4 per sector, 128 bytes each.
const uint32_t kEntryBytes = 128;
const uint32_t kNameLengthAt = 0x40;  // bytes, with the terminating NUL
const uint32_t kMaxNameBytes = 64;
const uint32_t kKindAt = 0x42;
const uint32_t kStartAt = 0x74;
const uint32_t kSizeAt = 0x78;
const uint8_t kKindEmpty = 0, kKindStorage = 1, kKindStream = 2, kKindRoot = 5;

// Stream and storage names that tell the application.
const struct {
  const char16_t* name;
  const char* type;
} kNamedTypes[] = {
    {u"WordDocument", "doc"},
    {u"Workbook", "xls"},
    {u"Book", "xls"},
    {u"PowerPoint Document", "ppt"},
    {u"PP40", "ppt"},
    {u"Pictures", "ppt"},
    {u"Symbol 1", "fla"},
    {u"Page 1", "fla"},
    {u"Quill", "pub"},
    {u"VisioDocument", "vsd"},
    {u"   19", "mpp"},
    {u"Props9", "mpp"},
    {u"VSM_Project_Data", "vsmacros"},
    {u"InstallUISequence", "msi"},
    {u"\u4840\u3F7F\u4164\u422F\u4836", "msi"},  // an installer's table names, as stored
    {u"CrystalReportDesignerStream", "rpt"},
    {u"VisualStudioModeler", "suo"},
    {u"SolutionConfiguration", "suo"},
};
const char16_t kRootName[] = u"Root Entry";
const char16_t kSummaryName[] = u"\u0005SummaryInformation";

// The application names of the summary that tell the type.
const char* typeOfApplication(const std::string& application) {
  if (application.compare(0, 14, "Microsoft Word") == 0) return "doc";
  if (application == "Microsoft Excel") return "xls";
  if (application == "Microsoft PowerPoint") return "ppt";
  if (application == "MSProject") return "mpp";
  if (application.find("Windows Installer") != std::string::npos) return "msi";
  if (application.find("Crystal Reports") != std::string::npos) return "rpt";
  return nullptr;
}

bool nameIs(const std::u16string& name, const char16_t* known) { return name == known; }

struct Findings {
  const char* type = nullptr;
  bool summaryRead = false;
  OleSummary summary;
};

// One directory entry; false refuses the candidate.
bool readEntry(OleCompoundFile& ole, const uint8_t* entry, Findings& found) {
  uint16_t nameBytes = le16(entry + kNameLengthAt);
  uint8_t kind = entry[kKindAt];
  // Unused entries (also between used ones, after a stream was removed)
  // are passed over.
  if (nameBytes == 0 || kind == kKindEmpty) return true;
  if (nameBytes > kMaxNameBytes || nameBytes % 2) return false;
  if (kind != kKindStorage && kind != kKindStream && kind != kKindRoot) return false;
  std::u16string name;
  for (uint32_t i = 0; i + 2 < nameBytes; i += 2) name.push_back(static_cast<char16_t>(le16(entry + i)));
  uint32_t start = le32(entry + kStartAt);
  uint32_t size = le32(entry + kSizeAt);

  if (kind == kKindRoot || nameIs(name, kRootName)) {
    ole.setMiniStream(start, size);
  } else if (!found.summaryRead && nameIs(name, kSummaryName) && size >= 1 && size <= FileModuleOle::kMaxSummary) {
    std::vector<uint8_t> stream;
    // A summary that cannot be read leaves the document as it is.
    if (ole.readStream(start, size, stream) && decodeOleSummary(stream.data(), stream.size(), found.summary)) {
      found.summaryRead = true;
      if (!found.type) found.type = typeOfApplication(found.summary.application);
    }
  }
  if (!found.type)
    for (const auto& known : kNamedTypes)
      if (nameIs(name, known.name)) found.type = known.type;
  return true;
}

}  // namespace

bool FileModuleOle::scan(const uint8_t* sector, uint32_t length) {
  return length >= sizeof kSignature && memcmp(sector, kSignature, sizeof kSignature) == 0;
}

bool FileModuleOle::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint8_t signature[sizeof kSignature];
  if (!cursor.read(0, signature, sizeof signature) || !scan(signature, sizeof signature)) return false;
  OleCompoundFile ole(cursor);
  uint64_t size = 0;
  if (!ole.open() || !ole.size(size) || size > cursor.size()) return false;

  Findings found;
  uint32_t sector = ole.firstDirectorySector();
  uint8_t bytes[OleCompoundFile::kSectorBytes];
  for (uint32_t i = 0; i < kMaxDirectorySectors; ++i) {
    if (!ole.readSector(sector, bytes)) break;
    for (uint32_t e = 0; e < OleCompoundFile::kSectorBytes / kEntryBytes; ++e)
      if (!readEntry(ole, bytes + e * kEntryBytes, found)) return false;
    if (found.type && found.summaryRead) break;
    if (!ole.nextSector(sector, sector)) break;
  }
  const char* type = found.type ? found.type : "ole";
  if (found.summary.title == "Installation Database") type = "msi";

  file.clear();
  file.attributes.set("t", type);
  file.size = size;
  if (!found.summary.title.empty()) file.attributes.set("name", found.summary.title);
  if (found.summary.hasTime) file.attributes.setInt32("time", found.summary.time);
  return true;
}
