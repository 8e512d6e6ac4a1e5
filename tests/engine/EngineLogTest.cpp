// The debug log of the engine layers, pinned for a representative run: the
// lines and their tags are what a support request is diagnosed from, so
// they change only on purpose.  Other tests check behaviour, not the log.

#include <gtest/gtest.h>

#include <stdexcept>

#include "EngineFixtures.h"
#include "engine/FileCase.h"
#include "engine/PatternsFile.h"
#include "engine/ScanRun.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "tests/support/MemoryReader.h"

TEST(EngineLog, TheTrailOfARepresentativeRun) {
  mzktest::TempDir dir;
  dir.write("Scanner.cfg", "Type: jpeg\nPattern: \\xFF\\xD8\\xFF\nAnalyze File Module: jpeg\nMax Size: 4096\n");
  dir.write("FsScanner.cfg", "");
  ConfigRecord config;
  config.set("Program Path", dir.path());
  config.set("Scan Buffer Size", "2048");
  std::string image = std::string("\xFF\xD8\xFF\xD9", 4) + std::string(8 * 512 - 4, '\0');
  MemoryReader memory(image.data(), image.size());
  FileCase fileCase(config, {});
  auto* medium = new FaultReader(&memory);
  medium->failRange(3 * 512, 512);
  fileCase.setReader(medium);
  FileModule::File file;
  file.offset = 8 * 512;
  file.size = 10;

  DebugLogCapture log;
  PatternTable table;
  for (const char* text : {"Type: a\nAnalyze File Module: nosuch\n", "Type: a\nbroken\n"}) {
    try {
      loadPatternsFromText(text, "bad.cfg", *fileCase.registry(), table);
    } catch (const std::runtime_error&) {
    }
  }
  runScan(fileCase, config, nullptr);
  fileCase.readerFor(file);
  file.attributes.setInt32("fs", 5);
  fileCase.readerFor(file);
  fileCase.addVolume([](const VolumeContext&) { return std::shared_ptr<Volume>(); });
  file.attributes.set(std::string(256, 'k'), std::string(300, 'v'));
  Scanner scanner(&memory, fileCase.registry());
  scanner.init(dir.file("Scanner.cfg"), nullptr);
  scanner.check(memory.Reader::size(), memory.bytes().data(), 512);
  EXPECT_EQ(
      "PatternsFile(46): nosuch\n"
      "Config(149): broken\n\n"
      "Config(183)\n"
      "PatternsFile(16): bad.cfg\n"
      "Browser(703): 0 2048\n"
      "ReaderReader(34): 0 0 4096\n"
      // The four bytes at 0 end as a JPEG but hold no picture: searched for
      // their rest, in vain.
      "FragmentedCarving(40): 0 512 1\n"
      "FragmentedCarving(41): 0 jpeg 1 lost 1 2 1 3\n"
      "ScanRun(76): 512 1\n"
      "ReaderReader(19): 4096 4096\n"
      "FileCase(81): 4096 10\n"
      "FileCase(87): 5 0\n"
      "FileCase(113)\n"
      "Attributes(51): 256\n"
      "Attributes(55): 300\n"
      "ReaderReader(19): 4096 4096\n"
      "Scanner(54): 4096 4096\n",
      log.text());
}
