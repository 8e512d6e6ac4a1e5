// Backslash escapes of pattern texts: octal, "\x" hexadecimal, C letters.
#pragma once

#include <string>

// Throws std::runtime_error "CString(28)" (octal above 255), "CString(42)"
// ("\x" without a digit), "CString(60)" (a third hex digit), "CString(86)"
// (any other escape, or a backslash at the end).
std::string unescape(const std::string& text);

// ASCII letters lowered; other bytes (UTF-8 included) unchanged.
std::string asciiLower(std::string text);
