// Safe destination names and path helpers.

#include "recover/FileName.h"

#include <glib.h>

#include <cstdlib>
#include <vector>

namespace {

const size_t kNameMax = 255;
// An extension longer than this is not worth keeping over the stem.
const size_t kExtensionKeep = 32;

// Largest n <= limit such that text[0, n) ends on a UTF-8 character boundary.
size_t characterBoundary(const std::string& text, size_t limit) {
  if (limit >= text.size()) return text.size();
  // A character is at most 4 bytes; text that is not UTF-8 is cut anywhere.
  for (size_t n = limit; n > 0 && limit - n < 4; --n)
    if ((static_cast<unsigned char>(text[n]) & 0xC0) != 0x80) return n;
  return limit;
}

}  // namespace

std::string safeFileName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    out += (c == '/' || u < 0x20 || u == 0x7F) ? '_' : c;
  }
  if (out.empty() || out == "." || out == "..") return "_";
  if (out.size() <= kNameMax) return out;
  size_t dot = out.rfind('.');
  std::string extension;
  if (dot != std::string::npos && dot > 0 && out.size() - dot <= kExtensionKeep)
    extension = out.substr(dot);
  std::string stem = out.substr(0, out.size() - extension.size());
  stem.resize(characterBoundary(stem, kNameMax - extension.size()));
  std::string cut = stem + extension;
  if (cut.empty() || cut == "." || cut == "..") return "_";
  return cut;
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string withSuffix(const std::string& path, const std::string& suffix) {
  size_t slash = path.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= start) return path + "-" + suffix;
  return path.substr(0, dot) + "-" + suffix + path.substr(dot);
}

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string makePrivateTempFolder() {
  std::string pattern = joinPath(g_get_tmp_dir(), "mzk-XXXXXX");
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // mkdtemp creates the folder with mode 0700.
  if (!mkdtemp(buffer.data())) return std::string();
  return std::string(buffer.data());
}
