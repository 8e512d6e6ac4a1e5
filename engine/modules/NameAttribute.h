// The "name" attribute of a found file, from a title the file carries.
#pragma once

#include <string>

#include "engine/Attributes.h"
#include "shell/Charset.h"

// Sets "name" to `title` unless it is empty; a title longer than an
// attribute value may be is cut before the character that would not fit.
inline void setNameAttribute(Attributes& attributes, const std::string& title) {
  const size_t kValueBytes = 255;
  if (title.empty()) return;
  attributes.set("name", title.substr(0, utf8PrefixLength(title.data(), title.size(), kValueBytes)));
}
