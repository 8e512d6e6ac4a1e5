// The loader of "Scanner.cfg" and "FsScanner.cfg".
#pragma once

#include <string>

#include "engine/Pattern.h"

class FileModuleRegistry;

// Appends one Pattern per record, in file order.  Throws std::runtime_error
// ("PatternsFile(17)", "(38)", "(47)", "Patterns(58)", "CString(..)");
// patterns appended before a failure stay.
void loadPatterns(const std::string& path, const FileModuleRegistry& registry, PatternTable& table);
// The same on text in memory (for tests and fuzzing); `name` stands for the path in log lines.
void loadPatternsFromText(const std::string& text, const std::string& name,
                          const FileModuleRegistry& registry, PatternTable& table);
