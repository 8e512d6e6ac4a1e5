#include "update/HttpUrl.h"

bool splitHttpUrl(const std::string& url, HttpUrl& out) {
  for (unsigned char c : url)
    if (c <= ' ' || c == 0x7f)
      return false;
  const std::string scheme = "http://";
  size_t start = url.compare(0, scheme.size(), scheme) == 0 ? scheme.size() : 0;
  size_t slash = url.find('/', start);
  HttpUrl result;
  result.host = url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
  result.path = slash == std::string::npos ? "/" : url.substr(slash);
  if (result.host.empty())
    return false;
  out = result;
  return true;
}

std::string plainFileNameOfUrl(const std::string& url) {
  HttpUrl parts;
  if (!splitHttpUrl(url, parts))
    return std::string();
  std::string name = parts.path.substr(parts.path.rfind('/') + 1);
  if (name == "." || name == ".." || name.find('\\') != std::string::npos)
    return std::string();
  return name;
}
