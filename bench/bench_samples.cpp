// Writes one file of every format the test suites know how to make into a
// folder, for the images of bench/run.sh: the camera raw files (around a
// given JPEG preview and with sensor data of a given size), the archives
// and documents, the audio and video samples and a metafile, under the
// names the test suites give them (with their usual extensions).
//
//   bench_samples FOLDER PREVIEW.jpg RAW_MEGABYTES

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/ArchiveSamples.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/Tools.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: bench_samples FOLDER PREVIEW.jpg RAW_MEGABYTES\n");
    return 1;
  }
  std::string folder = argv[1];
  std::string preview = mzktest::readFile(argv[2]);
  uint64_t rawBytes = strtoull(argv[3], nullptr, 10) << 20;
  if (preview.empty() || rawBytes == 0) {
    fprintf(stderr, "bench_samples: no preview in %s or no raw size\n", argv[2]);
    return 1;
  }
  // Sensor data: noise of an even size, as a camera's compressed raw looks.
  std::string raw = mzktest::noise(static_cast<size_t>(rawBytes & ~uint64_t(1)), 7);
  int written = 0;
  auto put = [&](const std::string& name, const std::string& bytes) {
    if (bytes.empty()) return;
    mzktest::writeFile(folder + "/" + name, bytes);
    ++written;
  };
  int n = 0;
  for (const mzktest::RawFile& file : mzktest::cameraFiles(preview, raw)) put("camera" + std::to_string(++n) + "." + file.type, file.bytes);
  for (const mzktest::Sample& sample : mzktest::archiveSamples()) put(sample.name, sample.bytes);
  for (const mzktest::MediaFile& file : mzktest::mediaFiles()) put(file.name, file.bytes);
  put("drawing.wmf", mzktest::makeWmf());
  printf("%d files written to %s\n", written, folder.c_str());
  return written ? 0 : 1;
}
