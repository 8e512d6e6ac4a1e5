// The one table of format validators, by file type.

#include "engine/FormatValidator.h"

#include "engine/modules/JpegValidator.h"
#include "engine/modules/MovValidator.h"
#include "engine/modules/OleValidator.h"
#include "engine/modules/ZipValidator.h"

std::unique_ptr<FormatValidator> validatorFor(const std::string& type) {
  if (type == "jpeg" || type == "jpg") return std::unique_ptr<FormatValidator>(new JpegValidator);
  if (type == "mov" || type == "mp4") return std::unique_ptr<FormatValidator>(new MovValidator);
  for (const char* zip : {"zip", "docx", "xlsx", "pptx", "odt", "ods", "odp"})
    if (type == zip) return std::unique_ptr<FormatValidator>(new ZipValidator);
  for (const char* ole : {"ole", "doc", "xls", "ppt", "msi", "pub", "vsd", "mpp"})
    if (type == ole) return std::unique_ptr<FormatValidator>(new OleValidator);
  return nullptr;
}

bool hasValidator(const std::string& type) { return validatorFor(type) != nullptr; }
