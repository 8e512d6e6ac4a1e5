// Plain HTTP addresses as the update check uses them: "http://host/path",
// always port 80 (the port is a setting of the client, not of the address).
#pragma once

#include <string>

struct HttpUrl {
  std::string host;
  std::string path;  // begins with "/"
};

// A leading "http://" (compared case-sensitively) is skipped; the host runs
// to the first "/", the path is the rest, or "/" when there is none.  False,
// with out unchanged, when the host is empty or the address holds a blank or
// a control character: either would change the request we send.
bool splitHttpUrl(const std::string& url, HttpUrl& out);

// The last segment of the address's path when it can serve as a local file
// name as it stands: not empty, not "." or "..", no "\\".  Empty otherwise,
// also for an address that splitHttpUrl refuses.
std::string plainFileNameOfUrl(const std::string& url);
