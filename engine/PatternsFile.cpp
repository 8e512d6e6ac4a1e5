// The loader of the pattern files.

#include "engine/PatternsFile.h"

#include <stdexcept>

#include "engine/FileModuleRegistry.h"
#include "shell/CString.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"

namespace {

// Log tags of this file.
const LogTag kLogUnreadable{"PatternsFile", 16};
const LogTag kLogUnknownScanModule{"PatternsFile", 37};
const LogTag kLogUnknownAnalyzeModule{"PatternsFile", 46};

void appendRecords(const ConfigRecordList& records, const FileModuleRegistry& registry,
                   PatternTable& table) {
  for (const ConfigRecord& record : records) {
    Pattern pattern;
    pattern.setType(record.getString("Type"));

    std::string signature = record.getString("Pattern");
    if (!signature.empty()) {
      std::string bytes = unescape(signature);
      // A negative offset is kept as a huge unsigned one, which setPattern refuses.
      uint32_t offset = static_cast<uint32_t>(record.getInt("Pattern Offset", 0));
      if (bytes.size() > Pattern::kMaxLength) throw std::runtime_error("Patterns(58)");
      pattern.setPattern(offset, reinterpret_cast<const uint8_t*>(bytes.data()),
                         static_cast<uint32_t>(bytes.size()));
    }

    std::string scanName = record.getString("Scan File Module");
    if (!scanName.empty()) {
      FileModule* module = registry.findModule(scanName);
      if (!module) {
        dlog() << kLogUnknownScanModule << ": " << scanName << "\n";
        throw std::runtime_error("PatternsFile(38)");
      }
      pattern.setScanModule(module);
    }

    std::string analyzeName = record.getString("Analyze File Module");
    if (!analyzeName.empty()) {
      FileModule* module = registry.findModule(analyzeName);
      if (!module) {
        dlog() << kLogUnknownAnalyzeModule << ": " << analyzeName << "\n";
        throw std::runtime_error("PatternsFile(47)");
      }
      pattern.setAnalyzeModule(module);
    }

    int64_t defaultMax = static_cast<int64_t>(Pattern::kDefaultMaxSize);
    pattern.setMaxSize(static_cast<uint64_t>(record.getInt64("Max Size", defaultMax)));
    table.push_back(pattern);
  }
}

}  // namespace

void loadPatterns(const std::string& path, const FileModuleRegistry& registry, PatternTable& table) {
  ConfigRecordList records;
  if (!readConfigList(records, path, "Type", '#')) {
    dlog() << kLogUnreadable << ": " << path << "\n";
    throw std::runtime_error("PatternsFile(17)");
  }
  appendRecords(records, registry, table);
}

void loadPatternsFromText(const std::string& text, const std::string& name,
                          const FileModuleRegistry& registry, PatternTable& table) {
  ConfigRecordList records;
  if (!parseConfigList(records, "Type", text.data(), text.size(), '#')) {
    dlog() << kLogUnreadable << ": " << name << "\n";
    throw std::runtime_error("PatternsFile(17)");
  }
  appendRecords(records, registry, table);
}
