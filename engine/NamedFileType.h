// How a file named in a directory is typed, whatever the file system.
//
// The extension of the name, in lower case, is the Type looked up in
// "FsScanner.cfg" and the type "t" given to the file, with the exceptions
// of this one table: JPEG files are typed "jpeg", and some cameras store
// raw files under the extension "jpg", recognised by their exact sizes.
// A name without an extension gets the type "file".
#pragma once

#include <cstdint>
#include <string>

#include "engine/Pattern.h"

struct NamedFileType {
  std::string lookup;       // the Type looked up in "FsScanner.cfg"; empty: no extension
  std::string type;         // the file's "t"; "file" when there is no extension
  bool raw = false;         // a camera raw file
  bool testContent = true;  // false: taken as it is, without the first-sector test
};

NamedFileType namedFileType(const std::string& name, uint64_t size);

// Camera raw files that some cameras store with the extension "jpg".
bool isCameraRawSize(uint64_t size);

// The Type of the catch-all record of "FsScanner.cfg".
extern const char kAnyNamedFile[];

// The "FsScanner.cfg" record that a file named in a directory is tested
// and analysed with: the record of its extension; else the catch-all
// record (Type "*"), so that every file an intact directory names comes
// back whatever its extension (that record has no content test: a deleted
// file must only still own its free clusters); null without either, and
// the file is passed over.  `patterns` may be null.
const Pattern* fileSystemPattern(const PatternMap* patterns, const NamedFileType& named);
