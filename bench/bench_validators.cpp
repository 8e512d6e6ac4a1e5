// Speed of the format validators (the proofs the fragment search and the
// judging of carved files run): each file named on the command line is
// held in memory and proven `rounds` times; prints MB/s per file and in
// total.
//
//   build/bench/bench_validators [--rounds N] FILE...
//
// The type comes from the file's extension (jpg, jpeg, mov, mp4, zip, doc,
// ...).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/FormatValidator.h"
#include "media/Reader.h"

namespace {

class Memory : public Reader {
 public:
  explicit Memory(const std::vector<uint8_t>& bytes) : bytes_(bytes) { setSize(bytes.size()); }
  bool read(uint64_t offset, void* buffer, uint64_t size) override {
    if (!Reader::fits(offset, size, bytes_.size())) return false;
    if (size) memcpy(buffer, bytes_.data() + offset, size);
    return true;
  }
  bool borrow(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available,
              std::shared_ptr<const void>&) override {
    if (size == 0 || offset >= bytes_.size()) return false;
    out = bytes_.data() + offset;
    available = std::min<uint64_t>(size, bytes_.size() - offset);
    return true;
  }

 private:
  const std::vector<uint8_t>& bytes_;
};

std::string typeOf(const std::string& path) {
  size_t dot = path.rfind('.');
  std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return ext == "jpg" ? "jpeg" : ext;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 5;
  int first = 1;
  if (argc > 2 && strcmp(argv[1], "--rounds") == 0) {
    rounds = std::max(1, atoi(argv[2]));
    first = 3;
  }
  if (first >= argc) {
    fprintf(stderr, "usage: %s [--rounds N] FILE...\n", argv[0]);
    return 2;
  }
  double allBytes = 0, allSeconds = 0;
  printf("%-40s %8s %10s %8s %8s\n", "file", "verdict", "bytes", "MB/s", "reads");
  for (int i = first; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::unique_ptr<FormatValidator> probe = validatorFor(typeOf(argv[i]));
    if (!in.good() && !in.eof()) {
      fprintf(stderr, "%s: cannot read\n", argv[i]);
      continue;
    }
    if (!probe) {
      fprintf(stderr, "%s: no validator for its type\n", argv[i]);
      continue;
    }
    Memory file(bytes);
    FormatProof proof;
    uint64_t reads = 0;
    auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r) {
      std::unique_ptr<FormatValidator> validator = validatorFor(typeOf(argv[i]));
      proof = validator->check(file, 0, false);
      reads = validator->readsMade();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const char* verdict = proof.verdict == FormatProof::kProven ? "proven"
                          : proof.verdict == FormatProof::kBroken ? "broken" : "unknown";
    printf("%-40s %8s %10zu %8.0f %8llu\n", argv[i], verdict, bytes.size(),
           bytes.size() * double(rounds) / 1e6 / seconds, static_cast<unsigned long long>(reads));
    allBytes += bytes.size() * double(rounds);
    allSeconds += seconds;
  }
  if (allSeconds > 0) printf("%-40s %8s %10s %8.0f\n", "all", "", "", allBytes / 1e6 / allSeconds);
  return 0;
}
