// HTML and XML documents.  Registered as "text", "html" and "xml".
#pragma once

#include "engine/FileModule.h"

class FileModuleText : public FileModule {
 public:
  // The sector starts, in any letter case, with "<html", "<body", "<?xml",
  // "<title" or "<!doctype html".
  bool scan(const uint8_t* sector, uint32_t length) override;
  // A document that starts with "<?xml" is XML and ends after the closing
  // tag of its root element; any other is HTML and ends after "</html>"
  // (any letter case; blanks before its ">" allowed, as some generators
  // break the line there).  Up to two line ends or blanks after that tag
  // belong to the file.  Every byte before the closing tag must be a text
  // byte (tab, line feed, carriage return, 32 to 126, 128 to 255).  "t" is
  // "xml" or "html".
  bool analyze(Reader& reader, File& file) override;

  // The root element of an XML document is looked for this far.
  static constexpr uint32_t kRootSearch = 65536;
  static constexpr uint32_t kMaxClosingTag = 64;
};
