// Parsing the command line of mzk-recover.

#include "cli/RecoverOptions.h"

#include "shell/CString.h"

#include <getopt.h>

#include <cctype>
#include <cstring>

#include "shell/Format.h"

namespace {

enum LongOnly { kConfigDir = 1000, kDebugLog, kVersion, kSimulateBad, kDevices, kStats, kKeepPartial };

const struct option kOptions[] = {
    {"output", required_argument, nullptr, 'o'},
    {"list", no_argument, nullptr, 'l'},
    {"types", required_argument, nullptr, 't'},
    {"min-size", required_argument, nullptr, 'm'},
    {"keep-names", no_argument, nullptr, 'k'},
    {"keep-partial", no_argument, nullptr, kKeepPartial},
    {"report", required_argument, nullptr, 'r'},
    {"config-dir", required_argument, nullptr, kConfigDir},
    {"debug-log", required_argument, nullptr, kDebugLog},
    {"simulate-bad", required_argument, nullptr, kSimulateBad},
    {"devices", no_argument, nullptr, kDevices},
    {"stats", no_argument, nullptr, kStats},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0}};

}  // namespace

bool parseByteCount(const std::string& text, uint64_t& value) {
  if (text.empty() || !isdigit(static_cast<unsigned char>(text[0]))) return false;
  uint64_t v = 0;
  size_t i = 0;
  for (; i < text.size() && isdigit(static_cast<unsigned char>(text[i])); ++i) {
    unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (v > (UINT64_MAX - digit) / 10) return false;
    v = v * 10 + digit;
  }
  int shift = 0;
  if (i < text.size()) {
    if (i + 1 != text.size()) return false;
    switch (text[i]) {
      case 'k': case 'K': shift = 10; break;
      case 'm': case 'M': shift = 20; break;
      case 'g': case 'G': shift = 30; break;
      default: return false;
    }
  }
  if (shift && v > (UINT64_MAX >> shift)) return false;
  value = v << shift;
  return true;
}

bool parseRecoverOptions(int argc, char** argv, RecoverOptions& options, std::string& error) {
  // getopt permutes argv; work on a copy without the "dbg=" arguments.
  std::vector<char*> args;
  args.push_back(argc > 0 ? argv[0] : const_cast<char*>("mzk-recover"));
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], "dbg=", 4) == 0)
      options.debugTarget = argv[i] + 4;
    else
      args.push_back(argv[i]);
  }
  args.push_back(nullptr);
  int count = static_cast<int>(args.size()) - 1;
  optind = 1;
  opterr = 0;
  int c;
  while ((c = getopt_long(count, args.data(), ":o:lt:m:kr:h", kOptions, nullptr)) != -1) {
    switch (c) {
      case 'o':
        options.outputFolder = optarg;
        if (options.outputFolder.empty()) {
          error = "empty output folder";
          return false;
        }
        break;
      case 'l': options.list = true; break;
      case 't': {
        std::vector<std::string> pieces;
        split(optarg, ',', pieces);
        for (const std::string& piece : pieces)
          if (!piece.empty()) options.types.push_back(asciiLower(piece));
        if (options.types.empty()) {
          error = "no type given to --types";
          return false;
        }
        break;
      }
      case 'm':
        if (!parseByteCount(optarg, options.minSize)) {
          error = std::string("invalid size for --min-size: '") + optarg + "'";
          return false;
        }
        break;
      case 'k': options.keepNames = true; break;
      case 'r':
        options.reportPath = optarg;
        if (options.reportPath.empty()) {
          error = "empty report file name";
          return false;
        }
        break;
      case kKeepPartial: options.keepPartial = true; break;
      case kConfigDir: options.configFolder = optarg; break;
      case kDebugLog: options.debugTarget = optarg; break;
      case kSimulateBad: options.simulateBad = optarg; break;
      case kDevices: options.devices = true; break;
      case kStats: options.stats = true; break;
      case 'h': options.help = true; return true;
      case kVersion: options.version = true; return true;
      case ':':
        error = std::string("option '") + args[optind - 1] + "' needs a value";
        return false;
      default:
        if (optopt)
          error = std::string("unknown option '-") + static_cast<char>(optopt) + "'";
        else
          error = std::string("unknown option '") + args[optind - 1] + "'";
        return false;
    }
  }
  int positional = count - optind;
  if (options.devices) {
    if (positional > 0) {
      error = std::string("--devices takes no image file or device ('") + args[optind] + "')";
      return false;
    }
    return true;
  }
  if (positional == 0) {
    error = "no image file or device given";
    return false;
  }
  if (positional > 1) {
    error = std::string("more than one image file or device given ('") + args[optind + 1] + "')";
    return false;
  }
  options.input = args[optind];
  if (options.list && !options.reportPath.empty()) {
    error = "--report needs a recovery; it cannot be combined with --list";
    return false;
  }
  return true;
}

const char* recoverUsageText() {
  return
      "NAME\n"
      "    mzk-recover - recover photos and other files from a memory card or its image\n"
      "\n"
      "SYNOPSIS\n"
      "    mzk-recover [options] IMAGE-OR-DEVICE\n"
      "    mzk-recover --devices\n"
      "\n"
      "DESCRIPTION\n"
      "    Scans the whole medium sector by sector for file signatures and FAT and\n"
      "    exFAT file systems (live and deleted entries), then writes every file found\n"
      "    into the output folder, named OFFSET-SIZE.TYPE (OFFSET-SIZEf.TYPE for a\n"
      "    fragmented file), as the mzk program names them.  Deleted and carved photos\n"
      "    and movies whose pieces lie apart are put back together when their format\n"
      "    proves the result whole; a file that cannot be proven whole is listed as\n"
      "    partial and written only with --keep-partial.  The medium is opened read-only\n"
      "    and never written.  An existing file is never replaced: on a clash the next\n"
      "    free name (\"-1\", \"-2\", ... before the extension) is taken.  A destination\n"
      "    on the medium itself (the image, or a mount point of the device or its\n"
      "    partitions) is refused.  Unreadable sectors are written as zeros and\n"
      "    reported, one line per affected file.\n"
      "\n"
      "    The pattern files Scanner.cfg and FsScanner.cfg and the program\n"
      "    configuration mzk.cfg are read from the program's folder.\n"
      "\n"
      "    While standard error is a terminal a progress line shows the percentage,\n"
      "    the speed, the time remaining and the number of files found.  Ctrl-C stops\n"
      "    the scan; the files found so far are then recovered.  A second Ctrl-C\n"
      "    aborts the recovery.\n"
      "\n"
      "OPTIONS\n"
      "    -o, --output DIR      folder for the recovered files (default ./recovered,\n"
      "                          created if absent)\n"
      "    -l, --list            recover nothing; print one tab-separated line per\n"
      "                          found file, in the order found: offset, size, type,\n"
      "                          fragmented (0/1), deleted (0/1), file-system index (-1\n"
      "                          for signature hits), flags (\"raw\", \"crosslinked\",\n"
      "                          \"preview=OFFSET+SIZE\", \"rebuilt=WAY\" when the file was\n"
      "                          put together otherwise than the other columns say:\n"
      "                          \"free-skipping-used\" (a deleted file along the free\n"
      "                          clusters, passing over those in use) or \"reassembled\"\n"
      "                          (pieces found by searching), \"partial\" for a file not\n"
      "                          proven whole; comma-separated, \"-\" for none),\n"
      "                          file-system name (empty when none)\n"
      "    -t, --types LIST      only files of these types, comma-separated\n"
      "                          (for example jpeg,png,cr2)\n"
      "    -m, --min-size BYTES  only files of at least BYTES bytes (suffixes k, M, G)\n"
      "    -k, --keep-names      write files that have a file-system name under it (made\n"
      "                          safe; on a clash the offset goes before the extension)\n"
      "        --keep-partial    also write the files not proven whole, with \"-partial\"\n"
      "                          before the extension\n"
      "    -r, --report FILE     write a DFXML report of the recovered files (name,\n"
      "                          size, byte runs on the medium, MD5); FILE must not exist\n"
      "        --config-dir DIR  read mzk.cfg, Scanner.cfg and FsScanner.cfg from DIR\n"
      "        --debug-log TARGET\n"
      "                          debug log: null (default), stderr or a file name;\n"
      "                          dbg=TARGET does the same\n"
      "        --simulate-bad OFFSET:LENGTH[,...]\n"
      "                          treat these byte ranges of the medium as unreadable,\n"
      "                          to try out how a damaged card is handled\n"
      "        --stats           at the end, tell how many bytes were read from the\n"
      "                          medium, in how many reads, and how many times its size\n"
      "        --devices         list the storage devices that the mzk program offers\n"
      "                          (those on the buses of \"Allowed Bus Types\" in\n"
      "                          mzk.cfg), one block of \"Key: value\" lines each\n"
      "    -h, --help            show this text\n"
      "        --version         show the version\n"
      "\n"
      "EXIT STATUS\n"
      "    0    done: every file found was listed or recovered completely\n"
      "    1    bad usage or environment: unknown option, missing or invalid pattern\n"
      "         file, destination not writable or on the medium, a file that could\n"
      "         not be written\n"
      "    2    damaged or unreadable input: the medium cannot be opened, or some of\n"
      "         its bytes could not be read (the files concerned were recovered with\n"
      "         zero-filled gaps), or a found file could not be read at all\n"
      "    3    internal error\n"
      "    130  stopped by Ctrl-C (or SIGTERM); what was found before was recovered\n"
      "    When several apply, the first in the order 3, 130, 1, 2 is returned.\n"
      "\n"
      "EXAMPLES\n"
      "    mzk-recover --devices\n"
      "    mzk-recover -o ~/rescued /dev/sdc\n"
      "    mzk-recover --list card.img | sort -n\n"
      "    mzk-recover -t jpeg,cr2 -m 100k --report card.xml -o out card.img\n";
}
