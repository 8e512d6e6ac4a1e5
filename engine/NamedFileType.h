// How a file named in a directory is typed, whatever the file system.
//
// The extension of the name, in lower case, is the Type looked up in
// "FsScanner.cfg" and the type "t" given to the file, with the exceptions
// of this one table: JPEG files are typed "jpeg", and some cameras store
// raw files under the extension "jpg", recognised by their exact sizes.
#pragma once

#include <cstdint>
#include <string>

struct NamedFileType {
  std::string lookup;       // the Type looked up in "FsScanner.cfg"; empty: no extension
  std::string type;         // the file's "t"
  bool raw = false;         // a camera raw file
  bool testContent = true;  // false: taken as it is, without the first-sector test
};

NamedFileType namedFileType(const std::string& name, uint64_t size);

// Camera raw files that some cameras store with the extension "jpg".
bool isCameraRawSize(uint64_t size);
