#include "tests/support/MediaFiles.h"

#include <functional>

#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace mzktest {

namespace {

const Damage R = Damage::kRefused, C = Damage::kCut, W = Damage::kWhole, A = Damage::kAny;

// %o: the output file, %w: a 10 s stereo tone as WAV, %v: 3 s of video and sound.
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
};

std::string expand(std::string command, const std::string& out, const std::string& wav) {
  for (auto& [key, value] : {std::pair<std::string, std::string>{"%o", quote(out)}, {"%w", quote(wav)},
                             {"%v", "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine -t 3"}})
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

}  // namespace mzktest
