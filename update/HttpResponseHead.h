// The status line and the headers of an HTTP response, as far as the update
// download needs them.
#pragma once

#include <cstdint>
#include <string>

struct HttpResponseHead {
  int status = 0;              // 200, 404, ...
  int64_t contentLength = -1;  // -1 when the response does not say
};

// head: the response up to, not including, the blank line that ends it.
// The first line must be "HTTP/<digit>.<digit> <three digits>" followed by
// a blank or its end; a Content-Length header (name in any case) must be a
// decimal number, and several must agree.  False, with out unchanged,
// otherwise.
bool parseHttpResponseHead(const std::string& head, HttpResponseHead& out);
