// The one table of format validators, by file type.

#include "engine/FormatValidator.h"

#include "engine/modules/JpegValidator.h"
#include "engine/modules/MovValidator.h"

std::unique_ptr<FormatValidator> validatorFor(const std::string& type) {
  if (type == "jpeg" || type == "jpg") return std::unique_ptr<FormatValidator>(new JpegValidator);
  if (type == "mov" || type == "mp4") return std::unique_ptr<FormatValidator>(new MovValidator);
  return nullptr;
}

bool hasValidator(const std::string& type) { return validatorFor(type) != nullptr; }
