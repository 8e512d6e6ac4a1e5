// Module names of the pattern files.

#include "engine/FileModuleRegistry.h"

#include "engine/modules/FileModuleArj.h"
#include "engine/modules/FileModuleAsf.h"
#include "engine/modules/FileModuleBmp.h"
#include "engine/modules/FileModuleCrw.h"
#include "engine/modules/FileModuleDbx.h"
#include "engine/modules/FileModuleGif.h"
#include "engine/modules/FileModuleJpeg.h"
#include "engine/modules/FileModuleLzh.h"
#include "engine/modules/FileModuleMov.h"
#include "engine/modules/FileModuleMp3.h"
#include "engine/modules/FileModuleMpeg.h"
#include "engine/modules/FileModuleOle.h"
#include "engine/modules/FileModuleOrf.h"
#include "engine/modules/FileModulePlainText.h"
#include "engine/modules/FileModulePng.h"
#include "engine/modules/FileModuleRaf.h"
#include "engine/modules/FileModuleRar.h"
#include "engine/modules/FileModuleRiff.h"
#include "engine/modules/FileModuleRiffLocal.h"
#include "engine/modules/FileModuleBrandedMp4.h"
#include "engine/modules/FileModuleCr3.h"
#include "engine/modules/FileModuleFlac.h"
#include "engine/modules/FileModuleHeif.h"
#include "engine/modules/FileModuleMatroska.h"
#include "engine/modules/FileModuleOgg.h"
#include "engine/modules/FileModulePdf.h"
#include "engine/modules/FileModuleRw2.h"
#include "engine/modules/FileModuleText.h"
#include "engine/modules/FileModuleTiff.h"
#include "engine/modules/FileModuleWebp.h"
#include "engine/modules/FileModuleWmf.h"
#include "engine/modules/FileModuleWmv.h"
#include "engine/modules/FileModuleZip.h"

FileModuleRegistry::FileModuleRegistry() {
  // The one table of format modules: a new module is added here, under all
  // of its names (names sharing a line share one stateless instance).
  add("jpeg", std::make_shared<FileModuleJpeg>());
  auto riff = std::make_shared<FileModuleRiff>();
  for (const char* name : {"riff", "avi", "wav", "rmi", "ani"}) add(name, riff);
  // Photos and camera raw files.
  add("bmp", std::make_shared<FileModuleBmp>());
  add("crw", std::make_shared<FileModuleCrw>());
  add("gif", std::make_shared<FileModuleGif>());
  add("png", std::make_shared<FileModulePng>());
  auto tiff = std::make_shared<FileModuleTiff>();
  for (const char* name :
       {"tiff", "tif", "nef", "mrw", "mos", "cr2", "dcr", "dng", "kdc", "k25", "pef", "arw", "sr2", "srf"})
    add(name, tiff);
  add("wmf", std::make_shared<FileModuleWmf>());
  add("orf", std::make_shared<FileModuleOrf>());
  add("raf", std::make_shared<FileModuleRaf>());
  add("rw2", std::make_shared<FileModuleRw2>());
  // Audio and video.  "wmv" takes only files with a video stream, in every
  // registry: the scanner and the file case share one.
  auto asf = std::make_shared<FileModuleAsf>();
  for (const char* name : {"asf", "wma"}) add(name, asf);
  add("wmv", std::make_shared<FileModuleWmv>());
  auto mov = std::make_shared<FileModuleMov>();
  for (const char* name : {"mov", "mp4"}) add(name, mov);
  add("mp3", std::make_shared<FileModuleMp3>());
  auto mpeg = std::make_shared<FileModuleMpeg>();
  for (const char* name : {"mpeg", "mpg", "m1v", "m2v"}) add(name, mpeg);
  // Archives and documents.
  add("arj", std::make_shared<FileModuleArj>());
  add("dbx", std::make_shared<FileModuleDbx>());
  add("lzh", std::make_shared<FileModuleLzh>());
  auto ole = std::make_shared<FileModuleOle>();
  for (const char* name : {"ole", "doc", "xls", "ppt", "fla", "pub", "vsd", "mpp", "vsmacros", "rpt", "suo"})
    add(name, ole);
  add("rar", std::make_shared<FileModuleRar>());
  auto text = std::make_shared<FileModuleText>();
  for (const char* name : {"text", "html", "xml"}) add(name, text);
  add("txt", std::make_shared<FileModulePlainText>());
  add("zip", std::make_shared<FileModuleZip>());
  // Formats of phones and cameras of today, documents and free audio.
  auto heif = std::make_shared<FileModuleHeif>();
  for (const char* name : {"heif", "heic", "avif"}) add(name, heif);
  add("cr3", std::make_shared<FileModuleCr3>());
  auto brandedMp4 = std::make_shared<FileModuleBrandedMp4>();
  for (const char* name : {"m4a", "3gp"}) add(name, brandedMp4);
  add("webp", std::make_shared<FileModuleWebp>());
  auto matroska = std::make_shared<FileModuleMatroska>();
  for (const char* name : {"mkv", "webm"}) add(name, matroska);
  add("pdf", std::make_shared<FileModulePdf>());
  add("ogg", std::make_shared<FileModuleOgg>());
  add("flac", std::make_shared<FileModuleFlac>());
  // Modules that only "FsScanner.cfg" names.
  add("RiffLocal", std::make_shared<FileModuleRiffLocal>());
}

void FileModuleRegistry::add(const std::string& name, std::shared_ptr<FileModule> module) {
  modules_[name] = std::move(module);
}

FileModule* FileModuleRegistry::findModule(const std::string& name) const {
  auto it = modules_.find(name);
  return it == modules_.end() ? nullptr : it->second.get();
}
