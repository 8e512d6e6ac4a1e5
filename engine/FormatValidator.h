// The judge of whether bytes put together from pieces of a medium are one
// whole file of a format.
//
// A format module's analyze finds where a file ends; a validator goes
// further and decodes the file's content far enough to show that it is one
// continuous stream (a JPEG's entropy-coded data decodes to the end marker,
// a movie's samples lie where its index says and look like samples).  The
// fragment search asks it about candidate reassemblies and keeps only what
// it proves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class Reader;

struct FormatProof {
  enum Verdict {
    kProven,   // the content is whole and consistent up to `end`
    kBroken,   // the content stops making sense at `failedAt`
    kUnknown,  // the validator cannot judge this file (an unsupported variant)
  };
  Verdict verdict = kUnknown;
  uint64_t end = 0;       // kProven: the file's length
  uint64_t failedAt = 0;  // kBroken: where the content first proved impossible
  // kBroken: the bytes before this position are known to belong to the file
  // (a break between pieces lies at or after it); 0 when nothing is known.
  uint64_t soundUntil = 0;
  // kBroken: what the validator expected to find at `failedAt`, when that
  // tells where the file goes on (the index of a movie stored after its
  // data): the bytes `expected` at failedAt + expectedAt.  Empty when any
  // byte may follow.
  std::string expected;
  uint32_t expectedAt = 0;
};

class FormatValidator {
 public:
  virtual ~FormatValidator() {}
  // Judges the file whose first byte is byte 0 of `file`; the file may end
  // before the reader does.  The bytes before `sameUntil` equal those of the
  // last check made with `record` set (the caller promises it), so the
  // validator may resume from what it kept of that check instead of reading
  // them again; 0 promises nothing.  With `record` the validator keeps what
  // lets later checks resume, forgetting what it kept past `sameUntil`.
  virtual FormatProof check(Reader& file, uint64_t sameUntil, bool record) = 0;
  // Medium reads made by the checks so far (for budgets and benchmarks).
  virtual uint64_t readsMade() const = 0;
  // How far past a break in the file the validator may first notice it.
  virtual uint64_t detectionReach() const { return 65536; }
  // True when the content up to `failedAt` was judged on the way (a decoder
  // that fails soon after a break); false when only what lies before
  // `soundUntil` was looked at, so that only it tells how far a reading
  // holds.
  virtual bool judgesUpToFailure() const { return true; }
};

// A new validator for files of type `type` ("t"), or null when there is no
// validator for that type.  A validator keeps state between checks of one
// file: use one per file.
std::unique_ptr<FormatValidator> validatorFor(const std::string& type);
// Whether there is a validator for files of type `type`.
bool hasValidator(const std::string& type);
