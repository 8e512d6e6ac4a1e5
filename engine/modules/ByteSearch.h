// Searching a candidate's bytes through a ByteCursor, block by block, for
// formats whose structure is found by markers (PDF keywords, frame syncs).
#pragma once

#include <cstddef>
#include <cstdint>

class ByteCursor;

// The position of the first `needle` that starts at or after `from` and
// ends by `limit` (and by the cursor's end); UINT64_MAX when there is none
// or a block cannot be read (then `*unreadable`, when given, is set).  The
// needle is at most 64 bytes.
uint64_t findBytes(ByteCursor& cursor, uint64_t from, uint64_t limit, const void* needle, size_t length,
                   bool* unreadable = nullptr);
