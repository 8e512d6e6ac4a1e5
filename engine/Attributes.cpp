// The attribute store of a found file.

#include "engine/Attributes.h"

#include <cstring>

#include "shell/Charset.h"
#include "shell/DebugLog.h"

namespace {

// Log tags of this file.
const LogTag kLogKeyCut{"Attributes", 51};
const LogTag kLogValueCut{"Attributes", 55};

const size_t kMaxField = 255;

std::string cutText(const std::string& text, size_t limit) {
  return text.substr(0, utf8PrefixLength(text.data(), text.size(), limit));
}

// A file name keeps its extension: the stem is shortened instead.
std::string cutFileName(const std::string& name, size_t limit) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return cutText(name, limit);
  std::string extension = name.substr(dot);
  if (extension.size() >= limit / 2) return cutText(name, limit);
  return cutText(name.substr(0, dot), limit - extension.size()) + extension;
}

}  // namespace

size_t Attributes::find(const std::string& key, size_t* valueOffset, size_t* valueLength) const {
  size_t pos = 0;
  while (pos + 2 <= data_.size()) {
    size_t k = static_cast<unsigned char>(data_[pos]);
    size_t v = static_cast<unsigned char>(data_[pos + 1]);
    if (data_.size() - pos - 2 < k + v) break;  // a damaged store ends here
    if (k == key.size() && data_.compare(pos + 2, k, key) == 0) {
      if (valueOffset) *valueOffset = pos + 2 + k;
      if (valueLength) *valueLength = v;
      return pos;
    }
    pos += 2 + k + v;
  }
  return std::string::npos;
}

bool Attributes::has(const std::string& key) const {
  return find(key, nullptr, nullptr) != std::string::npos;
}

void Attributes::remove(const std::string& key) {
  size_t valueOffset = 0, valueLength = 0;
  size_t pos = find(key, &valueOffset, &valueLength);
  if (pos == std::string::npos) return;
  data_.erase(pos, valueOffset + valueLength - pos);
}

void Attributes::set(const std::string& rawKey, const std::string& rawValue) {
  std::string key = rawKey;
  if (key.size() > kMaxField) {
    dlog() << kLogKeyCut << ": " << key.size() << "\n";
    key = cutText(key, kMaxField);
  }
  std::string value = rawValue;
  if (value.size() > kMaxField) {
    dlog() << kLogValueCut << ": " << value.size() << "\n";
    value = key == "fn" ? cutFileName(value, kMaxField) : cutText(value, kMaxField);
  }
  remove(key);
  data_.push_back(static_cast<char>(key.size()));
  data_.push_back(static_cast<char>(value.size()));
  data_ += key;
  data_ += value;
}

void Attributes::setBool(const std::string& key, bool value) {
  set(key, std::string(1, value ? '\1' : '\0'));
}

void Attributes::setInt32(const std::string& key, int32_t value) {
  setUint32(key, static_cast<uint32_t>(value));
}

void Attributes::setUint32(const std::string& key, uint32_t value) {
  char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  set(key, std::string(bytes, 4));
}

std::string Attributes::getString(const std::string& key, const std::string& def) const {
  size_t valueOffset = 0, valueLength = 0;
  if (find(key, &valueOffset, &valueLength) == std::string::npos) return def;
  return data_.substr(valueOffset, valueLength);
}

bool Attributes::getBool(const std::string& key, bool def) const {
  size_t valueOffset = 0, valueLength = 0;
  if (find(key, &valueOffset, &valueLength) == std::string::npos || valueLength != 1) return def;
  return data_[valueOffset] != 0;
}

uint32_t Attributes::getUint32(const std::string& key, uint32_t def) const {
  size_t valueOffset = 0, valueLength = 0;
  if (find(key, &valueOffset, &valueLength) == std::string::npos || valueLength != 4) return def;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(data_[valueOffset + i])) << (8 * i);
  return value;
}

int32_t Attributes::getInt32(const std::string& key, int32_t def) const {
  size_t valueOffset = 0, valueLength = 0;
  if (find(key, &valueOffset, &valueLength) == std::string::npos || valueLength != 4) return def;
  return static_cast<int32_t>(getUint32(key, 0));
}
