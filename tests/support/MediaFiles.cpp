#include "tests/support/MediaFiles.h"

#include <functional>

#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace mzktest {

namespace {

const Damage R = Damage::kRefused, C = Damage::kCut, W = Damage::kWhole, A = Damage::kAny;

// %o: the output file, %w: a 10 s stereo tone as WAV, %v: 3 s of video and
// sound, %a: 5 s of sound, %p: a 640x480 picture as %o.png, %d: eight pages
// of text as %o.pdf.
const std::pair<MediaFile, const char*> kRecipes[] = {
    {{"tagged.mp3", "mp3", "mp3", "Caf\xC3\xA9 Noir", -1, C, C},
     "lame --quiet -b 128 %w %o && id3v2 -t \"$(printf 'Caf\\351 Noir')\" %o"},
    {{"utf8.mp3", "mp3", "mp3", "\xC3\x85ngstr\xC3\xB6m", -1, C, C},
     "lame --quiet --resample 48 %w %o && eyeD3 --quiet --to-v2.4 --encoding utf8 -t \"$(printf '\\303\\205ngstr\\303\\266m')\" %o"},
    {{"mpeg2.mp3", "mp3", "mp3", "", -1, C, C}, "lame --quiet --resample 24 -b 64 %w %o"},
    {{"tone.wav", "riff", "wav", "", -1, R, W}, "cp %w %o"},
    {{"clip.avi", "riff", "avi", "", -1, R, W}, "%v -c:v mjpeg -c:a pcm_s16le %o"},
    {{"piped.avi", "riff", "avi", "", -1, C, A}, "%v -c:v mjpeg -c:a pcm_s16le -f avi pipe:1 | tee %o"},
    {{"program.mpg", "mpeg", "mpeg", "", -1, C, C}, "%v -c:v mpeg1video -c:a mp2 -f mpeg %o"},
    {{"dvd.vob", "mpeg", "mpeg", "", -1, C, C}, "%v -c:v mpeg2video -c:a mp2 -f vob %o"},
    // ffmpeg leaves the sequence end code out; authoring tools write it.
    {{"video.m2v", "mpeg", "mpeg", "", -1, R, W}, "%v -an -c:v mpeg2video -f mpeg2video %o && printf '\\0\\0\\1\\267' | tee -a %o"},
    {{"clip.mp4", "mov", "mp4", "", -1, R, W}, "%v -c:v mpeg4 -c:a aac %o"},
    {{"clip.mov", "mov", "mov", "", -1, R, W}, "%v -c:v mjpeg -c:a pcm_s16le %o"},
    {{"clip.3gp", "3gp", "3gp", "", -1, R, W}, "%v -c:v mpeg4 -c:a aac -ar 8000 -ac 1 -s 176x144 %o"},
    {{"film.wmv", "asf", "wmv", "Holiday Film", 1622865782, R, W},
     "%v -c:v wmv2 -c:a wmav2 -metadata title='Holiday Film' -metadata creation_time=2021-06-05T04:03:02Z %o"},
    // Without a creation time ffmpeg writes 1970-01-01.
    {{"song.wma", "asf", "wma", "\xC3\x9Cn\xC3\xAF" "code", 0, R, W},
     "ffmpeg -v error -y -f lavfi -i sine -t 3 -c:a wmav2 -metadata title=\"$(printf '\\303\\234n\\303\\257code')\" %o"},
    // Pictures, video, music and documents of today's phones, cameras and
    // programs.
    // heif-enc keeps the Exif block of a JPEG.
    {{"photo.heic", "heif", "heic", "", 1622865782, R, W},
     "%p && convert %o.png %o.jpg && exiftool -q -overwrite_original -DateTimeOriginal='2021:06:05 04:03:02' %o.jpg && "
     "heif-enc -q 60 -t 96 -o %o %o.jpg"},
    {{"photo.avif", "avif", "avif", "", -1, R, W}, "%p && avifenc %o.png %o"},
    {{"plain.heic", "heic", "heic", "", -1, R, W}, "%p && heif-enc -q 60 -o %o %o.png"},
    {{"photo.webp", "webp", "webp", "", -1, R, W}, "%p && cwebp -quiet %o.png -o %o"},
    {{"anim.webp", "webp", "webp", "", -1, R, W}, "%p && convert %o.png -negate %o.2.png && img2webp -loop 0 %o.png %o.2.png -o %o"},
    {{"alpha.webp", "webp", "webp", "", -1, R, W}, "%p && mogrify -alpha set -channel A -evaluate set 50% %o.png && cwebp -quiet %o.png -o %o"},
    {{"film.mkv", "mkv", "mkv", "Film Title", 1622865782, C, W},
     "%v -c:v mpeg4 -c:a aac -metadata title='Film Title' -metadata creation_time=2021-06-05T04:03:02Z %o"},
    // Written to a pipe: the segment's size is unknown.
    {{"live.mkv", "mkv", "mkv", "", -1, C, A}, "%v -c:v mpeg4 -c:a aac -f matroska -live 1 pipe:1 | tee %o"},
    {{"clip.webm", "webm", "webm", "", -1, C, W}, "%v -c:v libvpx -c:a libvorbis %o"},
    {{"song.mka", "mkv", "mka", "", -1, C, W}, "%a -c:a libvorbis %o"},
    {{"song.m4a", "m4a", "m4a", "Song Title", 1622865782, R, W},
     "%a -c:a aac -metadata title='Song Title' -metadata creation_time=2021-06-05T04:03:02Z %o"},
    {{"song.ogg", "ogg", "ogg", "Vorbis Title", -1, C, C}, "%a -c:a libvorbis -metadata title='Vorbis Title' %o"},
    {{"song.opus", "ogg", "opus", "Opus Title", -1, C, C}, "%a -c:a libopus -metadata title='Opus Title' %o"},
    {{"clip.ogv", "ogg", "ogv", "", -1, C, C}, "%v -c:v libtheora -c:a libvorbis %o"},
    {{"song.flac", "flac", "flac", "Flac Title", -1, C, C}, "%a -c:a flac -metadata title='Flac Title' %o"},
    // Fixed predictors only, mono; 24-bit stereo with the strongest search.
    {{"fast.flac", "flac", "flac", "", -1, C, C}, "%a -ac 1 -c:a flac -compression_level 0 %o"},
    {{"deep.flac", "flac", "flac", "", -1, C, C},
     "ffmpeg -v error -y -f lavfi -i sine=f=300 -f lavfi -i sine=f=500 -filter_complex amerge -t 5 -c:a flac "
     "-sample_fmt s32 -compression_level 12 %o"},
    // id3v2 puts a version 2 tag in front and a version 1 tag after it.
    {{"tagged.flac", "flac", "flac", "Tagged Flac", -1, C, C}, "%a -c:a flac %o && id3v2 -t 'Tagged Flac' %o"},
    {{"report.pdf", "pdf", "pdf", "Report", 1622865782, C, W}, "%d && cp %o.pdf %o"},
    // exiftool changes a PDF by appending an incremental update.
    {{"updated.pdf", "pdf", "pdf", "New Title", 1622865782, C, W}, "%d && cp %o.pdf %o && exiftool -q -overwrite_original -Title='New Title' %o"},
    {{"linear.pdf", "pdf", "pdf", "Report", 1622865782, C, W}, "%d && qpdf --linearize %o.pdf %o"},
    // A cross-reference stream: the end is found, the information is not.
    {{"streams.pdf", "pdf", "pdf", "", -1, C, W}, "%d && qpdf --object-streams=generate --compress-streams=n %o.pdf %o"},
};

std::string expand(std::string command, const std::string& out, const std::string& wav) {
  for (auto& [key, value] : {std::pair<std::string, std::string>{"%o", quote(out)}, {"%w", quote(wav)},
                             {"%v", "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine -t 3"},
                             {"%a", "ffmpeg -v error -y -f lavfi -i sine -t 5"},
                             {"%p", "convert -seed 7 -size 640x480 plasma:fractal " + quote(out) + ".png"},
                             {"%d", "gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -dCompressPages=false -sOutputFile=" + quote(out) + ".pdf" +
                                        " -c '[ /Title (Report) /CreationDate (D:20210605040302Z) /DOCINFO pdfmark "
                                        "/Helvetica findfont 14 scalefont setfont 1 1 8 { pop 1 1 40 { 18 mul 72 exch moveto "
                                        "(A line of the report) show } for showpage } for'"}})
    for (size_t at; (at = command.find(key)) != std::string::npos;) command.replace(at, 2, value);
  return command;
}

}  // namespace

const std::vector<MediaFile>& mediaFiles() {
  // Every test runs in a process of its own: the files are kept in the
  // build folder, under names that change with the recipe.
  static std::vector<MediaFile> files = [] {
    std::string cache = std::string(MZK_APP_DIR) + "/../media-cache";
    TempDir dir("mzk-media");
    std::string wav = dir.file("tone-source.wav");
    sh("mkdir -p " + quote(cache) + " && sox -n -r 44100 -c 2 -b 16 " + quote(wav) + " synth 10 sine 440");
    std::vector<MediaFile> made;
    for (auto& [file, command] : kRecipes) {
      std::string kept = cache + "/" + std::to_string(std::hash<std::string>()(command)) + "-" + file.name;
      std::string out = dir.file(file.name);
      if (!sh("test -s " + quote(kept)) && sh(expand(command, out, wav))) sh("mv " + quote(out) + " " + quote(kept));
      made.push_back(file);
      made.back().bytes = readFile(kept);
    }
    return made;
  }();
  return files;
}

const MediaFile* mediaFile(const std::string& name) {
  for (const MediaFile& file : mediaFiles())
    if (name == file.name) return &file;
  return nullptr;
}

std::string isoBox(const char* type, const std::string& body) {
  std::string box;
  putBe32(box, uint32_t(8 + body.size()));
  return box + std::string(type, 4) + body;
}

std::string canonRawFile(const std::string& thumbnail, const std::string& preview, const std::string& data,
                         const std::string& version) {
  const std::string canon("\x85\xc0\xb6\x87\x82\x0f\x11\xe0\x81\x11\xf4\xce\x46\x2b\x6a\x48", 16);
  const std::string previews("\xea\xf4\x2b\x5e\x1c\x98\x4b\x88\xb9\xfb\xb7\xdc\x40\x6e\x4d\x16", 16);
  // The Exif IFD as a TIFF structure: one entry, DateTimeOriginal.
  std::string exif("II*\0\x08\0\0\0\x01\0\x03\x90\x02\0\x14\0\0\0\x1a\0\0\0\0\0\0\0", 26);
  exif += std::string("2021:06:05 04:03:02", 20);
  std::string tags = isoBox("CNCV", version) + isoBox("CMT2", exif);
  if (!thumbnail.empty()) {
    std::string body(4, '\0');
    putBe16(body, 160), putBe16(body, 120), putBe32(body, uint32_t(thumbnail.size())), putBe16(body, 1), putBe16(body, 0);
    tags += isoBox("THMB", body + thumbnail + std::string((4 - thumbnail.size() % 4) % 4, '\0'));
  }
  std::string file = isoBox("ftyp", std::string("crx \0\0\0\x01" "crx isom", 16)) +
                     isoBox("moov", isoBox("uuid", canon + tags) + isoBox("mvhd", std::string(100, '\0')));
  if (!preview.empty()) {
    std::string body(4, '\0');
    putBe16(body, 1), putBe16(body, 1620), putBe16(body, 1080), putBe16(body, 1), putBe32(body, uint32_t(preview.size()));
    file += isoBox("uuid", previews + isoBox("PRVW", body + preview));
  }
  return file + isoBox("mdat", data);
}

}  // namespace mzktest
