// The block-by-block write pass over a range of a medium.

#include "media/WriteToMedium.h"

#include <vector>

#include "media/MediumWriter.h"
#include "media/Reader.h"
#include "media/Writer.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/InterfaceCallback.h"
#include "shell/Intl.h"
#include "shell/Questions.h"

namespace {
// Log tags of this file.
const LogTag kLogPastEnd{"WriteToMedium", 20};
}  // namespace

bool writeToMedium(Writer& source, InterfaceCallback* progress, Questions& questions,
                   const char* title, MediumWriter& target, uint64_t offset, uint64_t size) {
  if (!Reader::fits(offset, size, target.size())) {
    dlog() << kLogPastEnd << ": " << offset << " " << size << " " << target.size() << "\n";
    return false;
  }
  // Zeroed once: a plain Writer leaves it as it is, so the pass erases.
  std::vector<uint8_t> block(kWriteBlockSize, 0);
  bool result = true;
  bool yesToAll = false;
  uint64_t done = 0;
  try {
    if (progress) {
      progress->setText(0, 0, title ? title : "");
      progress->setValue(0, 0, 0);
    }
    while (done < size) {
      uint64_t length = size - done < kWriteBlockSize ? size - done : kWriteBlockSize;
      if (progress) {
        progress->setValue(0, 0, done);
        progress->check();
      }
      uint64_t position = offset + done;
      if (!source.fill(position, length, block.data())) {
        result = false;
        break;
      }
      if (!target.write(position, block.data(), length) && !yesToAll) {
        int answer = questions.ask(
            Questions::Question,
            format(_("Cannot write to drive\n(offset: %1, size: %2)\n\nDo you want to continue?"),
                   position, length),
            false, _("Yes To _All"));
        if (answer & Questions::NotYes) {
          result = false;
          break;
        }
        if (answer & Questions::Checked) yesToAll = true;
      }
      done += length;
    }
    if (progress) progress->setValue(0, 0, done);
  } catch (const InterruptedException&) {
    return false;
  }
  return result;
}
