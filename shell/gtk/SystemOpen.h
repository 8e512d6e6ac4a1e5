// Opening a file, a folder or a web address with the program that the
// desktop associates with it.
#pragma once

#include <string>

// path is UTF-8: a file or folder name, or an address with a scheme
// ("https://...", "mailto:...").  Returns at once; what the opened program
// does is not followed.  Failures are logged ("SystemOpen(14)",
// "SystemOpen(21)"); when no program is associated with the file's type the
// user is told so in a message box.  parameters are not passed on: the
// desktop's default applications take none.
void systemOpen(const std::string& path, const char* parameters = nullptr);

// The URI that systemOpen hands to the desktop, or empty when path cannot
// be converted to a file name of the system ("SystemOpen(14)").
std::string systemOpenUri(const std::string& path);
