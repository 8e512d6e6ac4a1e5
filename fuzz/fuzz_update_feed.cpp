// Fuzzes what the update check reads from the network: the release feed,
// the head of an HTTP response, and the addresses the feed names.

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/FeedParser.h"
#include "update/HttpResponseHead.h"
#include "update/HttpUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  UpdateInfo info;
  if (parseFeed(text, info)) {
    HttpUrl url;
    if (splitHttpUrl(info.url, url) && (url.host.empty() || url.path.empty() || url.path[0] != '/'))
      __builtin_trap();
    const std::string name = plainFileNameOfUrl(info.url);
    if (name.find('/') != std::string::npos || name == "." || name == "..")
      __builtin_trap();  // the installer is written only inside its own folder
  }
  HttpResponseHead head;
  if (parseHttpResponseHead(text, head) && (head.status < 0 || head.status > 999))
    __builtin_trap();
  return 0;
}
