// Configuration records and the readers of "Key: value" files.
//
// One reader fills one record (the program configuration), the other a list
// of records split at a record key ("Type" in the pattern files).  Failures
// are a false result plus a trail of debug-log lines; nothing is thrown.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ConfigRecord {
 public:
  // keepExisting: an existing key stays and false is returned.
  bool set(const std::string& key, const std::string& value, bool keepExisting = false);
  bool set(const std::string& key, const char* value, bool keepExisting = false);
  bool set(const std::string& key, int32_t value, bool keepExisting = false);
  bool set(const std::string& key, int64_t value, bool keepExisting = false);

  bool has(const std::string& key) const;
  bool get(const std::string& key, std::string& value) const;
  std::string getString(const std::string& key, const std::string& def = std::string()) const;
  // Decimal in the "C" conventions: leading blanks, a sign, digits up to the
  // first non-digit.  Absent, empty, unreadable or out of range: the default.
  int32_t getInt(const std::string& key, int32_t def) const;
  uint32_t getUnsigned(const std::string& key, uint32_t def) const;
  int64_t getInt64(const std::string& key, int64_t def) const;

  void erase(const std::string& key);
  void clear() { values_.clear(); }
  const std::map<std::string, std::string>& values() const { return values_; }

 private:
  std::map<std::string, std::string> values_;
};

typedef std::vector<ConfigRecord> ConfigRecordList;

// Receiver of the key/value pairs of a parse; false stops the parse.
class ConfigParserCallback {
 public:
  virtual ~ConfigParserCallback() {}
  virtual bool handle(const std::string& key, const std::string& value) = 0;
};

bool parseConfig(const char* begin, const char* end, char commentChar, ConfigParserCallback& callback);

bool readConfigFile(ConfigRecord& record, const std::string& path, char commentChar);
bool parseConfigText(ConfigRecord& record, const char* text, size_t length, char commentChar);
bool readConfigList(ConfigRecordList& list, const std::string& path, const std::string& recordKey,
                    char commentChar);
bool parseConfigList(ConfigRecordList& list, const std::string& recordKey, const char* text,
                     size_t length, char commentChar);
