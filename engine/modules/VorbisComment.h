// The comment block of Vorbis, Opus and FLAC streams: a vendor text, then
// "KEY=value" texts, each with its little-endian 32-bit length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The value of the first "TITLE" comment (the key in any case), or empty.
// Stops at the end of `length` bytes, so a block cut short still gives
// the comments it holds.
std::string vorbisCommentTitle(const uint8_t* bytes, size_t length);
