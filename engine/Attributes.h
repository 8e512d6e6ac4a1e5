// The attribute store of a found file: a byte string of records
// [key length][value length][key][value], each key at most once, values of
// typed attributes in host (little-endian) order.
#pragma once

#include <cstdint>
#include <string>

class Attributes {
 public:
  bool has(const std::string& key) const;
  // Removes the key's record, then appends the new one at the end.
  void set(const std::string& key, const std::string& value);
  void setBool(const std::string& key, bool value);
  void setInt32(const std::string& key, int32_t value);
  void setUint32(const std::string& key, uint32_t value);
  void remove(const std::string& key);

  std::string getString(const std::string& key, const std::string& def = std::string()) const;
  // Typed reads return the default unless the stored width matches.
  bool getBool(const std::string& key, bool def) const;
  int32_t getInt32(const std::string& key, int32_t def) const;
  uint32_t getUint32(const std::string& key, uint32_t def) const;

  const std::string& bytes() const { return data_; }
  void clear() { data_.clear(); }

 private:
  // Offset of the key's record in data_, or npos.
  size_t find(const std::string& key, size_t* valueOffset, size_t* valueLength) const;
  std::string data_;
};
