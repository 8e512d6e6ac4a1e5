// The file type of a TIFF-based camera raw file, told by the make and model
// that its first IFD names.
#pragma once

#include <string>

// The raw type ("nef", "cr2", "dcr", ...) or null when the make is not a
// camera maker's, so the file is a plain TIFF.  Makes match as
// case-insensitive prefixes; models as case-insensitive prefixes or, where
// the table says so, exactly.
const char* cameraRawType(const std::string& make, const std::string& model);
