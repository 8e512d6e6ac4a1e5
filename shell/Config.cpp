// Configuration records and the "Key: value" readers.

#include "shell/Config.h"

#include <glib.h>

#include <limits>
#include <locale>
#include <sstream>

#include "shell/DebugLog.h"

// ---------------------------------------------------------------------------
// ConfigRecord

bool ConfigRecord::set(const std::string& key, const std::string& value, bool keepExisting) {
  auto it = values_.find(key);
  if (it != values_.end()) {
    if (keepExisting) return false;
    it->second = value;
    return true;
  }
  values_.emplace(key, value);
  return true;
}

bool ConfigRecord::set(const std::string& key, const char* value, bool keepExisting) {
  return set(key, std::string(value ? value : ""), keepExisting);
}

bool ConfigRecord::set(const std::string& key, int32_t value, bool keepExisting) {
  return set(key, std::to_string(value), keepExisting);
}

bool ConfigRecord::set(const std::string& key, int64_t value, bool keepExisting) {
  return set(key, std::to_string(value), keepExisting);
}

bool ConfigRecord::has(const std::string& key) const { return values_.count(key) != 0; }

bool ConfigRecord::get(const std::string& key, std::string& value) const {
  auto it = values_.find(key);
  if (it == values_.end()) return false;
  value = it->second;
  return true;
}

std::string ConfigRecord::getString(const std::string& key, const std::string& def) const {
  auto it = values_.find(key);
  return it == values_.end() ? def : it->second;
}

namespace {

// Decimal extraction in the "C" conventions; the rest of the text after the
// number is ignored.
template <typename T>
T readNumber(const std::map<std::string, std::string>& values, const std::string& key, T def) {
  auto it = values.find(key);
  if (it == values.end() || it->second.empty()) return def;
  std::istringstream in(it->second);
  in.imbue(std::locale::classic());
  T value{};
  in >> std::dec >> value;
  if (in.fail()) return def;
  return value;
}

}  // namespace

int32_t ConfigRecord::getInt(const std::string& key, int32_t def) const {
  return readNumber<int32_t>(values_, key, def);
}

uint32_t ConfigRecord::getUnsigned(const std::string& key, uint32_t def) const {
  return readNumber<uint32_t>(values_, key, def);
}

int64_t ConfigRecord::getInt64(const std::string& key, int64_t def) const {
  return readNumber<int64_t>(values_, key, def);
}

void ConfigRecord::erase(const std::string& key) { values_.erase(key); }

// ---------------------------------------------------------------------------
// The line parser

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmedRight(const char* begin, const char* end) {
  while (end > begin && isBlank(end[-1])) --end;
  return std::string(begin, end);
}

}  // namespace

bool parseConfig(const char* begin, const char* end, char commentChar, ConfigParserCallback& callback) {
  const char* p = begin;
  for (;;) {
    while (p < end && (isBlank(*p) || isLineEnd(*p))) ++p;
    if (p >= end) return true;
    if (*p == commentChar) {
      while (p < end && !isLineEnd(*p)) ++p;
      continue;
    }
    const char* colon = p;
    while (colon < end && *colon != ':' && !isLineEnd(*colon) && *colon != commentChar) ++colon;
    if (colon >= end || *colon != ':') {
      dlog() << "Config(149): " << std::string(p, end) << "\n";
      return false;
    }
    std::string key = trimmedRight(p, colon);
    const char* v = colon + 1;
    while (v < end && isBlank(*v)) ++v;
    const char* vEnd = v;
    while (vEnd < end && !isLineEnd(*vEnd) && *vEnd != commentChar) ++vEnd;
    std::string value = trimmedRight(v, vEnd);
    p = vEnd;
    while (p < end && !isLineEnd(*p)) ++p;
    if (!callback.handle(key, value)) {
      dlog() << "Config(158): " << key << " " << value << "\n";
      return false;
    }
  }
}

// ---------------------------------------------------------------------------
// Callbacks and readers

namespace {

// Fills one record; a key seen twice stops the parse.
class CallbackConfig : public ConfigParserCallback {
 public:
  explicit CallbackConfig(ConfigRecord& record) : record_(record) {}
  bool handle(const std::string& key, const std::string& value) override {
    if (!record_.set(key, value, true)) {
      dlog() << "Config(90): " << key << " " << value << "\n";
      return false;
    }
    return true;
  }

 private:
  ConfigRecord& record_;
};

// Fills a list of records split at the record key.  The lines before the
// first record key belong to the first record; the open record is appended
// when the callback goes away, also after a failed parse.
class CallbackConfigs : public ConfigParserCallback {
 public:
  CallbackConfigs(ConfigRecordList& list, const std::string& recordKey)
      : list_(list), recordKey_(recordKey) {}
  ~CallbackConfigs() override {
    if (open_) list_.push_back(current_);
  }
  bool handle(const std::string& key, const std::string& value) override {
    if (key == recordKey_) {
      if (!open_) {
        open_ = true;
      } else {
        list_.push_back(current_);
        current_.clear();
      }
    }
    if (!current_.set(key, value, true)) {
      dlog() << "Config(127): " << key << " " << value << "\n";
      return false;
    }
    return true;
  }

 private:
  ConfigRecordList& list_;
  std::string recordKey_;
  bool open_ = false;
  ConfigRecord current_;
};

bool readWholeFile(const std::string& path, std::string& text) {
  gchar* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) return false;
  text.assign(contents, length);
  g_free(contents);
  return true;
}

}  // namespace

bool parseConfigText(ConfigRecord& record, const char* text, size_t length, char commentChar) {
  CallbackConfig callback(record);
  if (!parseConfig(text, text + length, commentChar, callback)) {
    dlog() << "Config(172)\n";
    return false;
  }
  return true;
}

bool readConfigFile(ConfigRecord& record, const std::string& path, char commentChar) {
  std::string text;
  if (!readWholeFile(path, text)) {
    dlog() << "Config(193): " << path << "\n";
    return false;
  }
  if (!parseConfigText(record, text.data(), text.size(), commentChar)) {
    dlog() << "Config(197)\n";
    return false;
  }
  return true;
}

bool parseConfigList(ConfigRecordList& list, const std::string& recordKey, const char* text,
                     size_t length, char commentChar) {
  bool ok;
  {
    CallbackConfigs callback(list, recordKey);
    ok = parseConfig(text, text + length, commentChar, callback);
  }
  if (!ok) {
    dlog() << "Config(183)\n";
    return false;
  }
  return true;
}

bool readConfigList(ConfigRecordList& list, const std::string& path, const std::string& recordKey,
                    char commentChar) {
  std::string text;
  if (!readWholeFile(path, text)) {
    dlog() << "Config(208): " << path << "\n";
    return false;
  }
  if (!parseConfigList(list, recordKey, text.data(), text.size(), commentChar)) {
    dlog() << "Config(212)\n";
    return false;
  }
  return true;
}
