// MP3 files (MPEG-1 and MPEG-2 audio Layer III): an optional ID3v2 tag,
// then frames that follow each other, then optionally an ID3v1 tag or an
// appended ID3v2 tag.  Registered as "mp3".
#pragma once

#include "engine/FileModule.h"

class FileModuleMp3 : public FileModule {
 public:
  // The sector starts an ID3v2 tag (version 3 or 4), or frames follow each
  // other from its first byte to its end.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Walks tag and frames; the file ends after the last whole frame, or after
  // the tag that closes it.  Refused when the result is 64 KiB or less, or
  // the leading tag's header is malformed.  "t" is "mp3"; "name" the longer
  // of the tags' titles.
  bool analyze(Reader& reader, File& file) override;

  // The most bytes of zero padding after a leading tag that are skipped.
  static constexpr uint64_t kPaddingSearch = 2048;
  // A shorter candidate is not taken for an MP3 file.
  static constexpr uint64_t kMinSize = 65536;
  // The most bytes of a tag's frames searched for a title.
  static constexpr uint64_t kTitleSearch = 16384;
};
