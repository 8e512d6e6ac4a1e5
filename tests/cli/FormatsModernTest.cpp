// mzk-recover on a quick-formatted FAT card that held today's pictures,
// raw files, music, video and documents: listed by name first, then found
// by their signatures alone, and recovered byte for byte.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/cli/CliSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/Tools.h"

using namespace mzktest;

TEST(FormatsModernTest, TodaysFormatsComeBackFromAQuickFormattedCard) {
  for (const char* tool : {"mkfs.vfat", "mcopy", "ffmpeg", "heif-enc", "cwebp", "gs"})
    if (!haveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  TempDir dir;
  std::string image = dir.file("card.img");
  ASSERT_TRUE(sh("truncate -s 32M '" + image + "' && mkfs.vfat -F 16 '" + image + "'"));
  std::map<std::string, std::pair<std::string, std::string>> files;  // name: type, bytes
  for (const char* name : {"photo.heic", "photo.avif", "photo.webp", "song.m4a", "film.mkv", "clip.webm", "song.opus",
                           "song.flac", "tagged.flac", "updated.pdf", "clip.3gp"}) {
    const MediaFile* made = mediaFile(name);
    ASSERT_FALSE(made->bytes.empty()) << name;
    files[name] = {made->type, made->bytes};
  }
  files["IMG_0001.CR3"] = {"cr3", canonRawFile("", "\xFF\xD8\xFF\xE0" + noise(900, 2) + "\xFF\xD9",
                                                        noise(70000, 3))};
  for (auto& [name, file] : files) {
    writeFile(dir.file(name), file.second);
    ASSERT_TRUE(sh("MTOOLS_SKIP_CHECK=1 mcopy -i '" + image + "' '" + dir.file(name) + "' ::" + name));
  }
  // The offsets of the files by their names, then a quick format that
  // leaves the clusters.
  std::istringstream named(runRecover({"--list", image}).out);
  ASSERT_TRUE(sh("mkfs.vfat -F 16 '" + image + "'"));
  std::string carved = runRecover({"--list", image}).out;
  ASSERT_EQ(runRecover({"-o", dir.file("out"), image}).status, 0);

  size_t checked = 0;
  for (std::string offset, line; std::getline(named, offset, '\t') && std::getline(named, line);) {
    std::string name = line.substr(line.rfind('\t') + 1);
    if (name.empty()) continue;  // a signature hit
    ASSERT_EQ(files.count(name), 1u) << line;
    auto& [type, bytes] = files[name];
    std::string size = std::to_string(bytes.size());
    // Found by its contents too: no file system, flags (a preview) may follow.
    EXPECT_NE(carved.find(offset + "\t" + size + "\t" + type + "\t0\t0\t-1\t"), std::string::npos) << name;
    EXPECT_TRUE(readFile(dir.file("out/" + offset + "-" + size + "." + type)) == bytes) << name;
    ++checked;
  }
  EXPECT_EQ(checked, files.size());
}
