#include "engine/TypeFamily.h"

namespace {

const struct {
  const char* type;
  const char* family;
} kKinds[] = {
    {"docx", "zip"}, {"xlsx", "zip"}, {"pptx", "zip"}, {"odt", "zip"}, {"ods", "zip"}, {"odp", "zip"},
};

}  // namespace

std::string familyOf(const std::string& type) {
  for (const auto& kind : kKinds)
    if (type == kind.type) return kind.family;
  return std::string();
}

bool typeSelects(const std::string& wanted, const std::string& type) {
  return wanted == type || (!wanted.empty() && wanted == familyOf(type));
}
