// Fuzzes Config: the "Key: value" parser through both of its readers, the
// single record and the record list split at "Type", and the number lookups
// of whatever was read.

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/Config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the comment character, as callers may use others.
  char comment = data[0] & 1 ? '#' : static_cast<char>(data[0]);
  const char* text = reinterpret_cast<const char*>(data + 1);
  size_t length = size - 1;

  ConfigRecord record;
  parseConfigText(record, text, length, comment);
  for (const auto& pair : record.values()) {
    record.getInt(pair.first, 0);
    record.getUnsigned(pair.first, 0);
    record.getInt64(pair.first, 0);
  }

  ConfigRecordList list;
  parseConfigList(list, "Type", text, length, comment);
  for (const ConfigRecord& r : list)
    if (!r.has("Type")) __builtin_trap();  // every record opens with its key
  return 0;
}
