// DFXML output.

#include "recover/DfxmlReport.h"

#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "engine/RebuiltFile.h"
#include "shell/Files.h"

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

// Length of the valid UTF-8 character at p (of n bytes), 0 when invalid.
size_t utf8Length(const unsigned char* p, size_t n, uint32_t* code) {
  gunichar c = g_utf8_get_char_validated(reinterpret_cast<const gchar*>(p), static_cast<gssize>(n));
  if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) return 0;
  *code = c;
  return static_cast<size_t>(g_utf8_skip[p[0]]);
}

std::string isoTime(time_t t) {
  struct tm tm;
  gmtime_r(&t, &tm);
  char buffer[32];
  strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buffer;
}

}  // namespace

std::string xmlEscape(const std::string& text) {
  std::string out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    uint32_t code = 0;
    size_t length = utf8Length(p + i, n - i, &code);
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    switch (code) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') || code == 0xFFFE || code == 0xFFFF)
          out += kReplacement;
        else
          out.append(text, i, length);
    }
    i += length;
  }
  return out;
}

const char kReportNamespace[] = "urn:x-mzk:report:1";

ReportedFile reportedFileOf(const FileModule::File& file) {
  ReportedFile out;
  out.size = file.size;
  out.type = file.attributes.getString("t");
  out.originalName = file.attributes.getString("fn");
  if (file.attributes.getInt32("fs", -1) >= 0) out.allocated = file.attributes.getBool("deleted", false) ? 0 : 1;
  out.fragmented = file.attributes.getBool("fragmented", false);
  out.rebuilt = rebuiltOf(file);
  out.partial = isPartial(file);
  out.raw = file.attributes.getBool("raw", false);
  out.crossLinked = file.attributes.getBool("crosslinked", false);
  out.previewSize = file.attributes.getUint32("thumbnail_size", 0);
  if (out.previewSize) out.previewOffset = file.attributes.getUint32("thumbnail_offset", 0);
  return out;
}

DfxmlReport::~DfxmlReport() {
  if (out_) fclose(out_);
}

bool DfxmlReport::create(const std::string& path, std::string* error) {
  int fd = createExclusive(path);
  if (fd < 0) {
    if (error) *error = strerror(errno);
    return false;
  }
  out_ = fdopen(fd, "w");
  if (!out_) {
    if (error) *error = strerror(errno);
    ::close(fd);
    return false;
  }
  return true;
}

void DfxmlReport::put(const std::string& text) {
  if (!out_) return;
  if (fwrite(text.data(), 1, text.size(), out_) != text.size()) failed_ = true;
}

void DfxmlReport::begin(const std::string& program, const std::string& version, const std::string& commandLine,
                        const std::string& imagePath, uint64_t imageSize) {
  put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  put("<dfxml xmlns=\"http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML\" "
      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:mzk=\"" + std::string(kReportNamespace) +
      "\" version=\"1.0\">\n");
  put("  <metadata>\n    <dc:type>Carve Report</dc:type>\n  </metadata>\n");
  put("  <creator version=\"1.0\">\n");
  put("    <program>" + xmlEscape(program) + "</program>\n");
  put("    <version>" + xmlEscape(version) + "</version>\n");
  put("    <execution_environment>\n");
  put("      <command_line>" + xmlEscape(commandLine) + "</command_line>\n");
  put("      <start_time>" + isoTime(time(nullptr)) + "</start_time>\n");
  put("    </execution_environment>\n");
  put("  </creator>\n");
  put("  <source mzk:image_size=\"" + std::to_string(imageSize) + "\">\n");
  put("    <image_filename>" + xmlEscape(imagePath) + "</image_filename>\n");
  put("  </source>\n");
}

void DfxmlReport::fileObject(const ReportedFile& file) {
  put("  <fileobject>\n");
  put("    <filename>" + xmlEscape(file.filename) + "</filename>\n");
  put("    <filesize>" + std::to_string(file.size) + "</filesize>\n");
  if (file.allocated >= 0) put("    <alloc>" + std::to_string(file.allocated) + "</alloc>\n");
  if (!file.runs.empty()) {
    put("    <byte_runs>\n");
    for (const ByteRun& run : file.runs)
      put("      <byte_run file_offset=\"" + std::to_string(run.fileOffset) + "\" img_offset=\"" +
          std::to_string(run.imageOffset) + "\" len=\"" + std::to_string(run.length) + "\"/>\n");
    put("    </byte_runs>\n");
  }
  if (!file.md5.empty()) put("    <hashdigest type=\"md5\">" + xmlEscape(file.md5) + "</hashdigest>\n");
  if (!file.sha256.empty()) put("    <hashdigest type=\"sha256\">" + xmlEscape(file.sha256) + "</hashdigest>\n");
  put("    <mzk:type>" + xmlEscape(file.type) + "</mzk:type>\n");
  if (!file.originalName.empty()) put("    <mzk:original_name>" + xmlEscape(file.originalName) + "</mzk:original_name>\n");
  if (file.fragmented) put("    <mzk:fragmented>1</mzk:fragmented>\n");
  if (file.raw) put("    <mzk:raw>1</mzk:raw>\n");
  if (file.crossLinked) put("    <mzk:crosslinked>1</mzk:crosslinked>\n");
  if (file.previewSize)
    put("    <mzk:preview offset=\"" + std::to_string(file.previewOffset) + "\" size=\"" +
        std::to_string(file.previewSize) + "\"/>\n");
  if (file.unreadableBytes)
    put("    <mzk:unreadable_bytes>" + std::to_string(file.unreadableBytes) + "</mzk:unreadable_bytes>\n");
  if (!file.rebuilt.empty()) put("    <mzk:rebuilt>" + xmlEscape(file.rebuilt) + "</mzk:rebuilt>\n");
  if (file.partial) put("    <mzk:partial>1</mzk:partial>\n");
  put("  </fileobject>\n");
  if (out_) fflush(out_);
}

bool DfxmlReport::finish(uint64_t filesRecovered, uint64_t unreadableBytes) {
  if (!out_) return false;
  put("  <mzk:summary files_recovered=\"" + std::to_string(filesRecovered) + "\" unreadable_bytes=\"" +
      std::to_string(unreadableBytes) + "\"/>\n");
  put("</dfxml>\n");
  bool ok = !failed_;
  if (fclose(out_) != 0) ok = false;
  out_ = nullptr;
  return ok;
}
