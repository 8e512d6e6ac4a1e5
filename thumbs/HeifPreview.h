// The thumbnail of a HEIF file (HEIC, AVIF) is a coded picture of its own,
// whose decoder configuration lies apart from its data.  Put into a small
// HEIF file of its own, it is decoded by the image library's HEIF loader
// without touching the full picture.
#pragma once

#include <cstdint>
#include <vector>

// The most bytes a decoder configuration box may have.
constexpr uint64_t kMaxHeifConfigBytes = 65536;

// A HEIF file whose one item, of `itemType` ("hvc1" or "av01" as a
// big-endian number), is `data`, with `config` (a whole "hvcC" or "av1C"
// box as stored) and the size in pixels as its properties.  False when the
// item type is another, or `config` is not a whole box of the type that
// goes with it.
bool wrapHeifPreview(uint32_t itemType, const std::vector<uint8_t>& config, uint32_t width, uint32_t height,
                     const std::vector<uint8_t>& data, std::vector<uint8_t>& out);
