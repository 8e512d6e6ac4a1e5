// The block-by-block write pass over a range of a medium (erase, restore).
#pragma once

#include <cstdint>

class InterfaceCallback;
class MediumWriter;
class Questions;
class Writer;

// Writes [offset, offset+size) of `target` in blocks of 32768 bytes filled
// by `source`.  Progress and cancellation go through `progress` (may be
// null); a failed block asks "Cannot write to drive ..." through
// `questions` with "Yes To _All".  False when a block cannot be filled, the
// user stops after a failure, or cancels (the InterruptedException is
// caught here and never reaches the caller).
bool writeToMedium(Writer& source, InterfaceCallback* progress, Questions& questions,
                   const char* title, MediumWriter& target, uint64_t offset, uint64_t size);

const uint64_t kWriteBlockSize = 32768;
