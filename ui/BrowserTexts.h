// The texts the browser window shows, apart from the window: the status
// line, a thumbnail's tooltip, the summary after a recovery and the reason
// a file cannot be opened.
#pragma once

#include <cstdint>
#include <string>

#include "engine/FileModule.h"
#include "recover/FileRecoverer.h"

// "No files found", "One found file", "%1 files found", followed by " / "
// and the selection ("All files selected", "One file selected", "%1 files
// selected") when something is selected.
std::string browserStatusText(unsigned shown, unsigned selected);

// Plain text: the file's name when the file system knew it, its type, size
// and offset, whether it was deleted or fragmented, how it was put together
// when that is not the plain way of its origin, and whether it is partial.
std::string thumbnailTooltip(const FileModule::File& file);

// How a file's bytes were put together ("rebuilt"), in words.
std::string rebuiltText(const std::string& way);

// What one recovery run achieved, for its closing summary.
struct RecoverySummary {
  uint64_t requested = 0;       // files the user asked for
  uint64_t recovered = 0;       // files written
  uint64_t failed = 0;          // files that could not be written
  uint64_t damaged = 0;         // recovered files with unreadable bytes
  uint64_t unreadableBytes = 0; // written as zeros
  uint64_t leftPartial = 0;     // selected files not proven whole, not written
  bool stopped = false;         // the user cancelled
};
// The summary text (Pango markup; `folder` is escaped here).  "Complete"
// only when every requested file was written without unreadable bytes.
std::string recoverySummaryText(const RecoverySummary& summary, const std::string& folder);

// The question asked when the selected files do not fit in the chosen
// folder (Pango markup; `folder` is escaped here): `files` files need
// `needed` bytes, `freeBytes` are free, the first `fit` of them fit.
std::string noRoomQuestion(uint64_t files, uint64_t needed, uint64_t freeBytes, uint64_t fit,
                           const std::string& folder);

// Markup for "Cannot open file" naming the file (`name`, plain UTF-8) and
// why: the failure of the copy into the temporary folder, or
// FileRecoverer::NoFailure when no temporary folder could be made.
std::string openFailureText(const std::string& name, FileRecoverer::Failure failure);
