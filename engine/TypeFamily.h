// Types that are kinds of another type.
//
// Office documents kept in ZIP archives get their own types (docx, odt,
// ...) so that users know them, yet they are ZIP archives: a user who asks
// for "zip" files gets them too.
#pragma once

#include <string>

// The type that `type` is a kind of ("zip" for "docx"), or empty.
std::string familyOf(const std::string& type);

// True when asking for `wanted` (a type in lower case) selects a file of
// type `type`: the same type, or a kind of it.
bool typeSelects(const std::string& wanted, const std::string& type);
