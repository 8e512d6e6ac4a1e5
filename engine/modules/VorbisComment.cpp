#include "engine/modules/VorbisComment.h"

#include <strings.h>

#include "shell/Charset.h"
#include "shell/Endian.h"

std::string vorbisCommentTitle(const uint8_t* bytes, size_t length) {
  const char kKey[] = "TITLE=";
  const size_t kKeyBytes = sizeof kKey - 1;
  if (length < 4) return std::string();
  uint64_t position = 4 + uint64_t(le32(bytes));  // after the vendor text
  if (position > length - 4) return std::string();
  uint32_t count = le32(bytes + position);
  position += 4;
  for (uint32_t i = 0; i < count && position <= length - 4; ++i) {
    uint64_t size = le32(bytes + position);
    position += 4;
    if (size > length - position) return std::string();
    const char* text = reinterpret_cast<const char*>(bytes + position);
    if (size > kKeyBytes && strncasecmp(text, kKey, kKeyBytes) == 0 && isValidUtf8(text + kKeyBytes, size - kKeyBytes))
      return std::string(text + kKeyBytes, size - kKeyBytes);
    position += size;
  }
  return std::string();
}
