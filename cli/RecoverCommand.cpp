// The run of mzk-recover.

#include "cli/RecoverCommand.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "cli/AheadWriter.h"
#include "cli/CountingReader.h"
#include "cli/SimulatedBadReader.h"
#include "cli/StopSignals.h"
#include "cli/TerminalProgress.h"
#include "engine/FileCase.h"
#include "engine/PatternsFile.h"
#include "engine/RebuiltFile.h"
#include "engine/ScanRun.h"
#include "device/MediumPlacement.h"
#include "device/ReaderDevice.h"
#include "engine/TypeFamily.h"
#include "media/ReaderFile.h"
#include "filesystems/FileSystems.h"
#include "recover/DfxmlReport.h"
#include "recover/FileRecoverer.h"
#include "recover/FreeSpace.h"
#include "shell/CString.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Questions.h"

namespace {

const char kProgram[] = "mzk-recover";
// At most this many unreadable ranges are named in the line of one file.
const size_t kRangesShown = 8;

// Failures are told by the command itself, one line each; the recovery
// always goes on.
class AnswerYesToAll : public Questions {
 public:
  int ask(Kind, const std::string&, bool, const char*) override { return Checked; }
};

// Counts found files for the progress line.
class FoundCounter : public FileCase::Callback {
 public:
  explicit FoundCounter(TerminalProgress& progress) : progress_(progress) {}
  void added(const std::string&, const FileModule::File&) override { progress_.setFilesFound(++count_); }

 private:
  TerminalProgress& progress_;
  uint64_t count_ = 0;
};

// Text from the medium in a tab-separated line: no tabs or line ends.
std::string listField(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

bool makeFolders(const std::string& path, std::string& error) {
  std::string partial;
  size_t at = 0;
  while (at <= path.size()) {
    size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    partial = path.substr(0, slash);
    at = slash + 1;
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
      error = partial + ": " + strerror(errno);
      return false;
    }
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    error = path + ": " + strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    error = path + " is not a folder";
    return false;
  }
  if (access(path.c_str(), W_OK | X_OK) != 0) {
    error = path + " is not writable: " + strerror(errno);
    return false;
  }
  return true;
}

std::string baseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string rangesText(const std::vector<std::pair<uint64_t, uint64_t>>& ranges) {
  std::string text;
  for (size_t i = 0; i < ranges.size() && i < kRangesShown; ++i) {
    if (i) text += ", ";
    text += std::to_string(ranges[i].first) + "+" + std::to_string(ranges[i].second);
  }
  if (ranges.size() > kRangesShown) text += ", ...";
  return text;
}

}  // namespace

void complain(const std::string& message) { fprintf(stderr, "%s: %s\n", kProgram, message.c_str()); }

std::string listFlags(const FileModule::File& file) {
  const Attributes& a = file.attributes;
  std::vector<std::string> flags;
  if (a.getBool("raw", false)) flags.push_back("raw");
  if (a.getBool("crosslinked", false)) flags.push_back("crosslinked");
  if (a.getUint32("thumbnail_size", 0))
    flags.push_back("preview=" + std::to_string(a.getUint32("thumbnail_offset", 0)) + "+" +
                    std::to_string(a.getUint32("thumbnail_size", 0)));
  // Said only when the other columns do not already say it.
  std::string way = rebuiltOf(file);
  if (way != plainRebuiltOf(file)) flags.push_back("rebuilt=" + way);
  if (isPartial(file)) flags.push_back("partial");
  std::string text;
  for (const std::string& flag : flags) text += (text.empty() ? "" : ",") + flag;
  return text.empty() ? "-" : text;
}

std::string listLine(const FileModule::File& file) {
  const Attributes& a = file.attributes;
  return std::to_string(file.offset) + "\t" + std::to_string(file.size) + "\t" + listField(a.getString("t")) + "\t" +
         (a.getBool("fragmented", false) ? "1" : "0") + "\t" + (a.getBool("deleted", false) ? "1" : "0") + "\t" +
         std::to_string(a.getInt32("fs", -1)) + "\t" + listFlags(file) + "\t" + listField(a.getString("fn"));
}

namespace {

// Names users type for one kind of file: each selects the others too.  All
// are real types (a FAT file keeps the extension it was named with), so
// neither replaces the other.
const char* const kTwins[][2] = {{"jpg", "jpeg"}, {"tif", "tiff"}, {"mpg", "mpeg"}, {"htm", "html"}};

}  // namespace

std::vector<std::string> RecoverCommand::selectedTypes(const std::vector<std::string>& typed) {
  std::vector<std::string> types = typed;
  for (const std::string& t : typed)
    for (const auto& twin : kTwins) {
      if (t == twin[0]) types.push_back(twin[1]);
      if (t == twin[1]) types.push_back(twin[0]);
    }
  return types;
}

bool RecoverCommand::wanted(const FileModule::File& file) const {
  if (file.size < options_.minSize) return false;
  // Files not proven whole are listed, but written only on request.
  if (isPartial(file) && !options_.list && !options_.keepPartial) return false;
  if (options_.types.empty()) return true;
  std::string type = asciiLower(file.attributes.getString("t"));
  for (const std::string& t : selectedTypes_)
    if (typeSelects(t, type)) return true;
  return false;
}

void RecoverCommand::warnUnknownTypes(FileCase& fileCase, const PatternTable& scanPatterns) const {
  for (const std::string& t : options_.types) {
    bool known = fileCase.registry()->findModule(t) || fileCase.fileSystemPatterns().count(t);
    for (const Pattern& p : scanPatterns) known = known || asciiLower(p.type()) == t;
    for (const auto& twin : kTwins) known = known || t == twin[0] || t == twin[1];
    if (!known) complain("warning: no file type '" + t + "' is known here; it selects nothing");
  }
}

int RecoverCommand::run() {
  // Configuration: the program's folder, its mzk.cfg, then the pattern files
  // beside it.  A missing mzk.cfg is fine.
  ConfigRecord config;
  config.set("Program Path", programPath_);
  std::string configFile = programPath_ + "/mzk.cfg";
  if (access(configFile.c_str(), F_OK) == 0 && !readConfigFile(config, configFile, '#'))
    dlog() << "ProgramInit(30): " << configFile << "\n";
  for (const char* name : {"Scanner.cfg", "FsScanner.cfg"}) {
    std::string path = programPath_ + "/" + name;
    if (access(path.c_str(), R_OK) != 0) {
      complain("cannot read pattern file " + path + ": " + strerror(errno));
      return kExitEnvironment;
    }
  }

  // The medium, read-only.
  struct stat st;
  if (stat(options_.input.c_str(), &st) != 0) {
    complain("cannot open " + options_.input + ": " + strerror(errno));
    return kExitInput;
  }
  if (S_ISDIR(st.st_mode)) {
    complain("cannot open " + options_.input + ": it is a folder, not an image file or device");
    return kExitInput;
  }
  if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
    complain("cannot open " + options_.input +
             ": it is not an image file or device (a pipe, socket or character device cannot be read at random)");
    return kExitInput;
  }
  // A block device goes through the device reader (read-only, sector
  // aligned); anything else is an image file.
  std::unique_ptr<Reader> medium;
  int mediumFd = -1;
  errno = 0;
  if (S_ISBLK(st.st_mode)) {
    std::unique_ptr<ReaderDevice> device(new ReaderDevice);
    if (!device->open(options_.input.c_str(), ReaderDevice::ForReading)) {
      int error = device->lastError();
      complain("cannot open " + options_.input + ": " + strerror(error) +
               (error == EACCES || error == EPERM
                    ? " (run mzk-recover as root, for example with sudo, or join the group \"disk\")"
                    : ""));
      return kExitInput;
    }
    mediumFd = device->fd();
    medium = std::move(device);
  } else {
    std::unique_ptr<ReaderFile> file(new ReaderFile);
    if (!file->open(options_.input.c_str())) {
      complain("cannot open " + options_.input + ": " + (errno ? strerror(errno) : "unknown error"));
      return kExitInput;
    }
    mediumFd = file->fd();
    medium = std::move(file);
  }
  const uint64_t mediumSize = medium->size();
  if (mediumSize == 0) {
    // A reader without a card reports 0 bytes too: nothing to recover is no
    // success.
    complain(options_.input + " is empty (0 bytes): there is nothing to recover from it");
    return kExitInput;
  }
  MediumIdentity identity;
  identifyOpenMedium(mediumFd, identity);

  std::unique_ptr<FileCase> fileCase;
  try {
    fileCase.reset(new FileCase(config, allFileSystems()));
  } catch (std::exception& e) {
    complain("invalid pattern file " + programPath_ + "/FsScanner.cfg (" + e.what() + ")");
    return kExitEnvironment;
  }
  // Scanner.cfg is loaded again by the scan; a fault in it is found here,
  // before anything is written.
  try {
    PatternTable table;
    loadPatterns(programPath_ + "/Scanner.cfg", *fileCase->registry(), table);
    warnUnknownTypes(*fileCase, table);
  } catch (std::exception& e) {
    complain("invalid pattern file " + programPath_ + "/Scanner.cfg (" + e.what() + ")");
    return kExitEnvironment;
  }
  selectedTypes_ = selectedTypes(options_.types);

  SimulatedBadReader::Ranges badRanges;
  if (!options_.simulateBad.empty() && !parseRanges(options_.simulateBad, badRanges)) {
    complain("invalid ranges for --simulate-bad: '" + options_.simulateBad + "'");
    return kExitEnvironment;
  }

  // The destination, before any time is spent scanning.  Everything that
  // can refuse is checked before anything is created.
  DfxmlReport report;
  if (!options_.list) {
    std::string why;
    if (destinationOnMedium(options_.outputFolder, identity, &why)) {
      complain("refusing to write to " + options_.outputFolder + ": " + why);
      return kExitEnvironment;
    }
    bool reporting = !options_.reportPath.empty();
    if (reporting && destinationOnMedium(options_.reportPath, identity, &why)) {
      complain("refusing to write the report to " + options_.reportPath + ": " + why);
      return kExitEnvironment;
    }
    struct stat existing;
    if (reporting && lstat(options_.reportPath.c_str(), &existing) == 0) {
      complain("cannot create report " + options_.reportPath + ": " + strerror(EEXIST));
      return kExitEnvironment;
    }
    std::string error;
    if (!makeFolders(options_.outputFolder, error)) {
      complain("cannot use output folder " + error);
      return kExitEnvironment;
    }
    if (reporting) {
      if (!report.create(options_.reportPath, &error)) {
        complain("cannot create report " + options_.reportPath + ": " + error);
        return kExitEnvironment;
      }
      report.begin(kProgram, MZK_REVISION, commandLine_, options_.input, mediumSize);
    }
  }

  Reader* source = medium.release();
  if (!badRanges.empty()) source = new SimulatedBadReader(source, badRanges);
  CountingReader* counted = nullptr;
  if (options_.stats) source = counted = new CountingReader(source);
  fileCase->setReader(source);
  // Told last, whatever way the run ends from here on.
  struct StatsLine {
    const CountingReader* counted;
    uint64_t mediumSize;
    ~StatsLine() {
      if (!counted) return;
      char ratio[32];
      snprintf(ratio, sizeof ratio, "%.3f", static_cast<double>(counted->bytes()) / static_cast<double>(mediumSize));
      complain("read " + std::to_string(counted->bytes()) + " bytes of the medium in " +
               std::to_string(counted->reads()) + " reads (" + ratio + " times its size)");
    }
  } statsLine{counted, mediumSize};

  TerminalProgress progress(isatty(STDERR_FILENO) != 0);
  FoundCounter counter(progress);
  // A recovery writes each wanted file as soon as the scan is past it, while
  // its bytes are still in memory; the recovery after the scan names them.
  AnswerYesToAll answers;
  FileRecoverer recoverer(&progress, &answers, fileCase.get(), 0, options_.outputFolder);
  recoverer.setMedium(identity);
  recoverer.setKeepNames(options_.keepNames);
  recoverer.setKeepPartial(options_.keepPartial);
  recoverer.setHashing(!options_.reportPath.empty());
  AheadWriter ahead(*fileCase, recoverer, &progress, [this](const FileModule::File& file) { return wanted(file); },
                    &counter);
  fileCase->setCallback(options_.list ? static_cast<FileCase::Callback*>(&counter) : &ahead);
  StopSignals::install();

  progress.beginPhase("scan", mediumSize - mediumSize % 512);
  const int stopsBeforeScan = StopSignals::count();
  ScanReport scan;
  try {
    scan = runScan(*fileCase, config, &progress, options_.list ? nullptr : &ahead);
  } catch (std::exception& e) {
    progress.clear();
    complain("invalid pattern file " + programPath_ + "/Scanner.cfg (" + e.what() + ")");
    return kExitEnvironment;
  }
  fileCase->setCallback(nullptr);
  progress.clear();

  std::vector<FileModule::File> files;
  for (const std::string& key : fileCase->order()) {
    const FileModule::File* file = fileCase->findFile(key);
    if (file && wanted(*file)) files.push_back(*file);
  }
  if (!scan.complete) {
    stopped_ = true;
    complain("scan stopped at " + std::to_string(scan.position) + " of " + std::to_string(scan.total) + " bytes; " +
             (options_.list ? std::string("listing") : std::string("recovering")) + " the " +
             std::to_string(files.size()) + " files found so far" +
             (options_.list ? "" : " (Ctrl-C again to abort)"));
  }
  if (scan.unreadableBytes) {
    inputProblem_ = true;
    complain(std::to_string(scan.unreadableBytes) + " bytes of the medium could not be read (" +
             std::to_string(scan.unreadable.size()) + " ranges, first at " +
             std::to_string(scan.unreadable.front().first) + "); files there may be missing");
  }

  if (options_.list) {
    for (const FileModule::File& file : files) printf("%s\n", listLine(file).c_str());
    if (fflush(stdout) != 0 || ferror(stdout)) {
      complain(std::string("cannot write the list: ") + strerror(errno));
      return kExitEnvironment;
    }
    return stopped_ ? kExitStopped : inputProblem_ ? kExitInput : kExitDone;
  }

  uint64_t total = 0;
  std::vector<uint64_t> sizes;
  for (const FileModule::File& file : files) {
    total += file.size;
    sizes.push_back(file.size);
  }
  // Room for everything, before anything is written: a recovery that fills
  // the disk half-way helps nobody.
  // What was written ahead counts as free: the question is whether the
  // files fit, as if nothing had been written yet.  When they do not,
  // nothing stays written.
  FreeSpace space = freeSpaceIn(options_.outputFolder);
  if (space.known && spaceNeeded(space, sizes) > space.freeBytes + recoverer.writtenAheadBytes()) {
    recoverer.dropWrittenAhead();
    space = freeSpaceIn(options_.outputFolder);
  }
  if (space.known && spaceNeeded(space, sizes) > space.freeBytes) {
    size_t fit = filesThatFit(space, sizes);
    uint64_t fitBytes = 0;
    for (size_t i = 0; i < fit; ++i) fitBytes += sizes[i];
    complain("not enough space in " + options_.outputFolder + ": the " + std::to_string(files.size()) +
             " files need " + std::to_string(spaceNeeded(space, sizes)) + " bytes, " +
             std::to_string(space.freeBytes) + " are free; the first " + std::to_string(fit) + " files (" +
             std::to_string(fitBytes) + " bytes) would fit. Nothing was recovered: free some space, choose "
             "another folder, or narrow the choice with --types or --min-size");
    return kExitEnvironment;
  }
  recoverer.setTotalBytes(total);
  // A stop that came after the one that ended the scan (even before this
  // phase began) aborts the recovery.
  progress.beginPhase("recover", total, scan.complete ? stopsBeforeScan : stopsBeforeScan + 1);
  uint64_t recovered = 0, done = 0;
  bool aborted = false, full = false;
  for (const FileModule::File& file : files) {
    progress.setFilesDone(++done, files.size());
    bool ok;
    try {
      ok = recoverer.recover(file);
    } catch (InterruptedException&) {
      aborted = true;
      break;
    }
    std::string source = FileRecoverer::sourceTextOf(file);
    if (!ok) {
      progress.clear();
      switch (recoverer.lastFailure()) {
        case FileRecoverer::NoReader:
          inputProblem_ = true;
          complain("cannot read " + source + " from the medium; nothing written");
          break;
        case FileRecoverer::OnMedium:
          environmentProblem_ = true;
          complain("refusing to write " + source + ": the destination lies on the medium");
          break;
        case FileRecoverer::NoSpace:
          environmentProblem_ = true;
          full = true;
          complain(options_.outputFolder + " is full: cannot write " + source + " (the incomplete file was removed)");
          break;
        default:
          environmentProblem_ = true;
          complain("cannot write " + source + " to " +
                   (recoverer.lastPath().empty() ? recoverer.destinationPath(file) : recoverer.lastPath()) +
                   (recoverer.lastPath().empty() ? "" : " (the incomplete file was removed)"));
      }
      if (full) break;
      continue;
    }
    ++recovered;
    if (recoverer.lastUnreadableBytes()) {
      inputProblem_ = true;
      progress.clear();
      complain(recoverer.lastPath() + ": " + std::to_string(recoverer.lastUnreadableBytes()) +
               " unreadable bytes written as zeros (at file offset+length " + rangesText(recoverer.lastUnreadableRanges()) + ")");
    }
    if (!options_.reportPath.empty()) {
      ReportedFile reported = reportedFileOf(file);
      reported.filename = baseName(recoverer.lastPath());
      reported.runs = fileCase->byteRunsFor(file);
      reported.md5 = recoverer.lastMd5();
      reported.sha256 = recoverer.lastSha256();
      reported.unreadableBytes = recoverer.lastUnreadableBytes();
      report.fileObject(reported);
    }
  }
  progress.clear();
  if (aborted) {
    stopped_ = true;
    // The file being written when the second signal came is cut short: it
    // goes, so that nothing incomplete looks recovered.
    if (!recoverer.lastPath().empty()) unlink(recoverer.lastPath().c_str());
    complain("recovery aborted; the file being written was removed");
  }
  if (!options_.reportPath.empty() && !report.finish(recovered, recoverer.totalUnreadableBytes())) {
    environmentProblem_ = true;
    complain("cannot write report " + options_.reportPath);
  }
  std::string summary = "recovered " + std::to_string(recovered) + " of " + std::to_string(files.size()) +
                        " files into " + options_.outputFolder;
  if (recoverer.filesWithUnreadableBytes())
    summary += "; " + std::to_string(recoverer.filesWithUnreadableBytes()) + " with unreadable parts (" +
               std::to_string(recoverer.totalUnreadableBytes()) + " bytes zero-filled)";
  complain(summary);
  if (stopped_) return kExitStopped;
  if (environmentProblem_) return kExitEnvironment;
  if (inputProblem_) return kExitInput;
  return kExitDone;
}
