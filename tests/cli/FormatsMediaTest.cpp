// mzk-recover on a quick-formatted FAT card that held audio and video
// files: the signatures find each one, which comes back byte for byte.

#include <gtest/gtest.h>

#include <sstream>

#include "tests/cli/CliSupport.h"
#include "tests/support/Tools.h"
#include "tests/support/TempDir.h"
#include "tests/support/MediaFiles.h"

using namespace mzktest;

TEST(FormatsMediaTest, AudioAndVideoComeBackFromAQuickFormattedCard) {
  for (const char* tool : {"mkfs.vfat", "mcopy", "ffmpeg", "lame", "id3v2"})
    if (!haveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  TempDir dir;
  std::string image = dir.file("card.img");
  ASSERT_TRUE(sh("truncate -s 32M '" + image + "' && mkfs.vfat -F 16 '" + image + "'"));
  std::vector<const MediaFile*> files;
  for (const char* name : {"tagged.mp3", "film.wmv", "clip.mp4", "program.mpg", "clip.avi"}) {
    files.push_back(mediaFile(name));
    ASSERT_FALSE(files.back()->bytes.empty()) << name;
    writeFile(dir.file(name), files.back()->bytes);
    ASSERT_TRUE(sh("MTOOLS_SKIP_CHECK=1 mcopy -i '" + image + "' '" + dir.file(name) + "' ::" + name));
  }
  // The offsets of the files, then a quick format that leaves the clusters.
  std::istringstream named(runRecover({"--list", image}).out);
  ASSERT_TRUE(sh("mkfs.vfat -F 16 '" + image + "'"));
  std::string carved = runRecover({"--list", image}).out;
  ASSERT_EQ(runRecover({"-o", dir.file("out"), image}).status, 0);

  size_t checked = 0;
  for (std::string offset, line; std::getline(named, offset, '\t') && std::getline(named, line);) {
    std::string name = line.substr(line.rfind('\t') + 1);
    if (name.empty()) continue;  // a signature hit
    const MediaFile* file = mediaFile(name);
    ASSERT_NE(file, nullptr) << line;
    std::string size = std::to_string(file->bytes.size());
    EXPECT_NE(carved.find(offset + "\t" + size + "\t" + file->type + "\t0\t0\t-1\t-\t\n"), std::string::npos) << file->name;
    EXPECT_TRUE(readFile(dir.file("out/" + offset + "-" + size + "." + file->type)) == file->bytes) << file->name;
    ++checked;
  }
  EXPECT_EQ(checked, files.size());
}
