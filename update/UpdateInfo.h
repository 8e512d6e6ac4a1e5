// What the release feed says about the newest release.
#pragma once

#include <cstdint>
#include <string>

struct UpdateInfo {
  std::string version;          // release name, compared with "Program Name with Version"
  std::string url;              // HTTP address of the installer
  int32_t length = 0;           // installer size in bytes; 0 when the feed's text is no number
  std::string releaseNotesUrl;  // page behind "Show Release Notes"
};
