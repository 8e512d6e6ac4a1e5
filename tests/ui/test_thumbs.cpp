// Thumbnails: embedded previews turned into pictures, the loader's three
// sources and its size filter, the reduced decode, and the frames.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "engine/FileModuleRegistry.h"
#include "filesystems/FileSystems.h"
#include "shell/Config.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/Pictures.h"
#include "tests/support/Tools.h"
#include "tests/ui/WindowTestDriver.h"
#include "thumbs/FilePixbufLoader.h"
#include "thumbs/ImageLoad.h"
#include "thumbs/PixbufFrame.h"

using namespace wintest;

namespace {

ThumbnailInfo info(int64_t offset, int64_t size, int64_t width, int64_t height, int64_t bits,
                   int64_t samples, int64_t compression) {
  ThumbnailInfo i;
  i.offset = offset;
  i.size = size;
  i.width = width;
  i.height = height;
  i.bitsPerSample = bits;
  i.samples = samples;
  i.compression = compression;
  return i;
}

// A HEIF-coded preview ("hvc1") with its configuration box.
ThumbnailInfo heifItem(int64_t offset, int64_t size, int64_t width, int64_t height, int64_t configOffset, int64_t configSize) {
  ThumbnailInfo i = info(offset, size, width, height, -1, -1, 0x68766331);
  i.configOffset = configOffset;
  i.configSize = configSize;
  return i;
}

// The RGBA of one pixel.
guint32 pixelAt(GdkPixbuf* picture, int x, int y) {
  const guchar* p = gdk_pixbuf_get_pixels(picture) + y * gdk_pixbuf_get_rowstride(picture) +
                    x * gdk_pixbuf_get_n_channels(picture);
  const guint32 alpha = gdk_pixbuf_get_has_alpha(picture) ? p[3] : 0xFF;
  return (guint32(p[0]) << 24) | (guint32(p[1]) << 16) | (guint32(p[2]) << 8) | alpha;
}

GdkPixbuf* solid(int width, int height, guint32 rgba) {
  GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  gdk_pixbuf_fill(picture, rgba);
  return picture;
}

}  // namespace

TEST(ThumbnailData, RawSamplesBecomePicturesAndBadGeometryIsRefused) {
  const std::string bytes = patternBytes(4096);
  MemoryReader medium(bytes.data(), bytes.size());
  auto at = [&bytes](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  struct Case {
    const char* what;
    ThumbnailInfo info;
    const char* header;  // null: refused
    size_t sampleBytes;
    std::function<uint8_t(size_t)> sample;  // expected sample i, or none
  } cases[] = {
      {"8-bit RGB interleaved", info(100, 18, 3, 2, 8, 3, 1), "P6\n3 2\n255\n", 18,
       [&](size_t i) { return at(100 + i); }},
      {"one byte short", info(100, 17, 3, 2, 8, 3, 1), nullptr, 0, nullptr},
      {"16-bit grey keeps high bytes", info(0, 200, 10, 10, 16, 1, 1), "P5\n10 10\n255\n", 100,
       [&](size_t i) { return at(2 * i + 1); }},
      {"planar RGB interleaved", info(7, 12, 2, 2, 8, 3, 0), "P6\n2 2\n255\n", 12,
       [&](size_t i) { return at(7 + i / 3 + (i % 3) * 4); }},
      {"planar 16-bit refused", info(0, 24, 2, 2, 16, 3, 0), nullptr, 0, nullptr},
      {"12-bit refused", info(0, 6, 2, 2, 12, 1, 1), nullptr, 0, nullptr},
      {"two samples refused", info(0, 8, 2, 2, 8, 2, 1), nullptr, 0, nullptr},
      {"no offset", info(-1, 18, 3, 2, 8, 3, 1), nullptr, 0, nullptr},
      {"negative width", info(0, 2, -1, -2, 8, 1, 1), nullptr, 0, nullptr},
      {"product wraps round", info(0, 1, 0x7FFFFFFF, 0x7FFFFFFF, 16, 3, 1), nullptr, 0, nullptr},
      {"larger than allowed", info(0, 10000000, -1, -1, -1, -1, 6), nullptr, 0, nullptr},
      {"past the medium", info(4000, 200, -1, -1, -1, -1, 6), nullptr, 0, nullptr},
      {"JPEG data as stored", info(10, 50, -1, -1, -1, -1, 6), "", 50,
       [&](size_t i) { return at(10 + i); }},
      {"unknown compression as stored", info(0, 5, -1, -1, -1, -1, 7), "", 5,
       [&](size_t i) { return at(i); }},
      {"HEIF item without its configuration", info(100, 50, 8, 8, -1, -1, 0x68766331), nullptr, 0, nullptr},
      {"HEIF item whose configuration is no such box", heifItem(100, 50, 8, 8, 0, 40), nullptr, 0, nullptr},
      {"HEIF item without its size", heifItem(100, 50, -1, -1, 0, 40), nullptr, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> out;
    const bool ok = loadThumbnailData(medium, 0, c.info, out);
    ASSERT_EQ(ok, c.header != nullptr);
    if (!ok) {
      EXPECT_TRUE(out.empty());
      continue;
    }
    const std::string header(c.header);
    ASSERT_EQ(out.size(), header.size() + c.sampleBytes);
    EXPECT_EQ(std::string(out.begin(), out.begin() + header.size()), header);
    for (size_t i = 0; i < c.sampleBytes; ++i) ASSERT_EQ(out[header.size() + i], c.sample(i)) << i;
  }
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtkReady()) << "no display: run under xvfb-run";
    config.set("Program Path", MZK_APP_DIR);
    config.set("Icons", "jpeg:jpeg, default:default");
    fileCase.reset(new FileCase(config, allFileSystems()));
    tall = mzktest::makePicture(tmp, "tall.jpg", "50x200", "gradient:red-blue");
    small = mzktest::makePicture(tmp, "small.jpg", "40x30", "xc:green");
    large = mzktest::makePicture(tmp, "large.jpg", "2000x1500", "gradient:yellow-navy");
    if (tall.empty() || small.empty() || large.empty()) GTEST_SKIP() << "ImageMagick is needed";
    // The small picture sits inside the tall one's file as its preview.
    medium = new MemoryReader;
    medium->put(0, tall + small);
    medium->put(200000, large);
    medium->put(900000, "\xFF\xD8\xFF\xE0" + patternBytes(3000));  // a JPEG start, then noise
    fileCase->setReader(medium);
  }
  FileModule::File fileAt(uint64_t offset, uint64_t size, const char* type) {
    FileModule::File f;
    f.offset = offset;
    f.size = size;
    f.attributes.set("t", type);
    return f;
  }
  ConfigRecord config;
  std::unique_ptr<FileCase> fileCase;
  MemoryReader* medium = nullptr;
  mzktest::TempDir tmp;
  std::string tall, small, large;
};

TEST_F(LoaderTest, PreviewThenDecodeThenTypeIconWithTheSizeFilter) {
  config.set("Minimal Image Width", 100);
  FilePixbufLoader loader(fileCase.get(), config);
  FileModule::File withPreview = fileAt(0, tall.size() + small.size(), "jpeg");
  withPreview.attributes.setInt32("thumbnail_offset", static_cast<int32_t>(tall.size()));
  withPreview.attributes.setInt32("thumbnail_size", static_cast<int32_t>(small.size()));
  withPreview.attributes.setInt32("thumbnail_compression", 6);
  struct Case {
    const char* what;
    FileModule::File file;
    int width;             // of the picture; 0: none
    bool leftOut;
    const char* icon;      // the type whose icon is expected, or null
  } cases[] = {
      {"too narrow for the filter", fileAt(0, tall.size(), "jpeg"), 0, true, nullptr},
      {"its preview is never filtered", withPreview, 40, false, nullptr},
      {"large picture at full size", fileAt(200000, large.size(), "jpeg"), 2000, false, nullptr},
      {"undecodable JPEG", fileAt(900000, 3004, "jpeg"), 64, false, "jpeg"},
      {"type without icon", fileAt(900000, 3004, "mp3"), 64, false, "default"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GdkPixbuf* picture = loader.load(c.file);
    EXPECT_EQ(loader.wasLeftOut(), c.leftOut);
    if (!c.width) {
      EXPECT_EQ(picture, nullptr);
      continue;
    }
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(picture), c.width);
    if (c.icon) {
      EXPECT_EQ(picture, loader.iconFor(c.icon));
    }
    g_object_unref(picture);
  }
}

TEST_F(LoaderTest, ReducedDecodeDeliversTheThumbnailSize) {
  FilePixbufLoader loader(fileCase.get(), config);
  loader.setDecodeLimit(96, 72);
  GdkPixbuf* picture = loader.load(fileAt(200000, large.size(), "jpeg"));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(picture), 96);
  EXPECT_EQ(gdk_pixbuf_get_height(picture), 72);
  // Yellow at the top of the gradient survives the reduction.
  EXPECT_GT(pixelAt(picture, 48, 0) >> 24, 0xE0u);
  g_object_unref(picture);
  // The filter still judges the stored size, not the reduced one.
  config.set("Minimal Image Width", 1000);
  FilePixbufLoader filtering(fileCase.get(), config);
  filtering.setDecodeLimit(96, 72);
  picture = filtering.load(fileAt(200000, large.size(), "jpeg"));
  EXPECT_NE(picture, nullptr);
  if (picture) g_object_unref(picture);
}

TEST_F(LoaderTest, IconListEntriesThatDoNotParseAreSkipped) {
  config.set("Icons", "jpeg:jpeg, bad, a:b:c, mp3:nosuchicon, jpeg:default, default:default");
  FilePixbufLoader loader(fileCase.get(), config);
  EXPECT_NE(loader.iconFor("jpeg"), loader.iconFor("default"));  // the first mapping stays
  EXPECT_EQ(loader.iconFor("a"), loader.iconFor("default"));
  EXPECT_EQ(loader.iconFor("mp3"), loader.iconFor("default"));
  EXPECT_TRUE(loader.decodes("jpeg"));
  EXPECT_FALSE(loader.decodes("mp3"));
  config.set("Icons", "jpeg:jpeg");
  FilePixbufLoader noDefault(fileCase.get(), config);
  EXPECT_EQ(noDefault.load(fileAt(900000, 3004, "mp3")), nullptr);
  EXPECT_FALSE(noDefault.wasLeftOut());
}

// HEIC and Canon raw files show their own small preview; WebP and AVIF
// pictures are decoded whole by the image library's loaders.
TEST_F(LoaderTest, TodaysPicturesShowTheirPreviewOrThemselves) {
  const std::string thumbnail = mzktest::makePicture(tmp, "thumb.jpg", "160x120", "xc:orange");
  const struct {
    const char* module;
    std::string bytes;
    int width, height;
  } cases[] = {
      {"heif", mzktest::mediaFile("photo.heic")->bytes, 96, 72},
      {"cr3", mzktest::canonRawFile(thumbnail, "", mzktest::noise(9000, 1)), 160, 120},
      {"webp", mzktest::mediaFile("photo.webp")->bytes, 640, 480},
      {"avif", mzktest::mediaFile("photo.avif")->bytes, 640, 480},
  };
  FileModuleRegistry registry;
  FilePixbufLoader loader(fileCase.get(), config);
  uint64_t offset = 2000000;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.module);
    ASSERT_FALSE(c.bytes.empty());
    MemoryReader reader(c.bytes.data(), c.bytes.size());
    FileModule::File file;
    ASSERT_TRUE(registry.findModule(c.module)->analyze(reader, file));
    medium->put(offset, c.bytes);
    file.offset = offset;
    offset += c.bytes.size();
    GdkPixbuf* picture = loader.load(file);
    ASSERT_NE(picture, nullptr);
    EXPECT_NE(picture, loader.iconFor("default"));
    EXPECT_EQ(gdk_pixbuf_get_width(picture), c.width);
    EXPECT_EQ(gdk_pixbuf_get_height(picture), c.height);
    g_object_unref(picture);
  }
}

TEST(PixbufFrameTest, ReplacementFramesScaleAndPicturesAreCentred) {
  ASSERT_TRUE(gtkReady());
  mzktest::TempDir empty;
  ConfigRecord config;
  config.set("Program Path", empty.path());
  PixbufFrame frame(config);
  EXPECT_EQ(frame.width(), 120);
  EXPECT_EQ(frame.height(), 90);
  EXPECT_EQ(frame.iconX(), 12);
  EXPECT_EQ(frame.iconY(), 9);
  struct Case {
    int width, height, shownWidth, shownHeight;
  } cases[] = {{200, 100, 96, 48}, {40, 30, 40, 30}, {10, 720, 1, 72}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    GdkPixbuf* red = solid(c.width, c.height, 0xFF0000FF);
    GdkPixbuf* framed = frame.frame(red);
    const int left = 12 + (96 - c.shownWidth) / 2;
    const int top = 9 + (72 - c.shownHeight) / 2;
    EXPECT_EQ(pixelAt(framed, left, top), 0xFF0000FFu);
    EXPECT_EQ(pixelAt(framed, left + c.shownWidth - 1, top + c.shownHeight - 1), 0xFF0000FFu);
    if (top > 9) {
      EXPECT_EQ(pixelAt(framed, 60, top - 1), 0x7F7F7FFFu);
    }
    if (left > 12) {
      EXPECT_EQ(pixelAt(framed, left - 1, 45), 0x7F7F7FFFu);
    }
    GdkPixbuf* selected = frame.selectedVersion(framed);
    EXPECT_EQ(pixelAt(selected, 0, 0), 0x00FF00FFu);
    EXPECT_EQ(pixelAt(selected, left, top), 0xFF0000FFu);
    g_object_unref(selected);
    g_object_unref(framed);
    g_object_unref(red);
  }
  GtkCellRenderer* cell = GTK_CELL_RENDERER(g_object_ref_sink(frame.newRenderer()));
  GdkPixbuf* tiny = solid(4, 4, 0xFF);
  GdkPixbuf* framed = frame.frame(tiny);
  g_object_unref(tiny);
  g_object_set(cell, "pixbuf", framed, nullptr);
  g_object_unref(framed);
  gint width = 0, height = 0;
  gtk_cell_renderer_get_size(cell, nullptr, nullptr, nullptr, nullptr, &width, &height);
  EXPECT_EQ(width, 120 + 2 * static_cast<int>(cell->xpad));
  EXPECT_EQ(height, 90 + 2 * static_cast<int>(cell->ypad));
  g_object_unref(cell);
}

TEST(PixbufFrameTest, AreaOutsideTheFramePictureFallsBackToTheDefault) {
  ASSERT_TRUE(gtkReady());
  mzktest::TempDir folder;
  ASSERT_EQ(mkdir(folder.file("icons").c_str(), 0755), 0);
  GdkPixbuf* picture = solid(100, 80, 0x336699FF);
  ASSERT_TRUE(gdk_pixbuf_save(picture, folder.file("icons/PixbufFrame.png").c_str(), "png",
                              nullptr, nullptr));
  g_object_unref(picture);
  ConfigRecord config;
  config.set("Program Path", folder.path());
  config.set("PixbufFrame Icon X", 50);
  config.set("PixbufFrame Icon Width", 60);
  PixbufFrame frame(config);
  EXPECT_EQ(frame.iconX(), 12);  // x 10 and width 80, scaled by 96 / 80
  EXPECT_EQ(frame.width(), 120);
}
