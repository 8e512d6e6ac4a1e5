// Content sources of a write pass.

#include "media/Writer.h"

#include <unistd.h>

#include <cerrno>

#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/Questions.h"

bool WriterFromFile::fill(uint64_t offset, uint64_t size, void* buffer) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint64_t done = 0;
  while (done < size) {
    uint64_t want = size - done;
    if (want > (1u << 30)) want = 1u << 30;
    ssize_t got = ::read(fd_, out + done, static_cast<size_t>(want));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<uint64_t>(got);
  }
  if (done == size) return true;
  if (questions_)
    questions_->ask(Questions::Error,
                    format(_("Cannot read file\n(offset: %1, size: %2)"), offset, size), false,
                    nullptr);
  return false;
}
