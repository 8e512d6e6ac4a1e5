// The "Save Debug" dump: the debug log text, compressed and scrambled.
//
// Layout: bytes 0-3 and 4-7 both hold the text length n (unsigned 32-bit,
// little-endian); from byte 8 the zlib stream of the text at level 9.  Then
// every byte but the last is XORed with the byte after it, taken before that
// byte changes (working upwards), so the last byte stays as it was.
#pragma once

#include <string>

// False when the text is longer than 4 GiB - 1 or zlib fails; `dump` is
// then left empty.
bool encodeDebugDump(const std::string& text, std::string& dump);
