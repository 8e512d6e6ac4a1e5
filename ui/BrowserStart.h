// Opening the medium named on the command line ("mzk card.img", or "Open
// with" from a file manager), so that the run loop starts in the browser.
#pragma once

#include <string>

class ConfigRecord;
class FileCase;

// Opens `path` (an image file or a device node) read-only as the medium of
// `fileCase` and describes it in `media`.  When it cannot be opened the
// user is told which file and why, nothing changes, and false is returned.
bool openMediumNamed(const std::string& path, ConfigRecord& media, FileCase& fileCase);

// Why `path` cannot serve as a medium (plain, translated), or empty when
// it can be tried: it must exist and be a file or a device, not a folder.
std::string mediumRefusal(const std::string& path);
