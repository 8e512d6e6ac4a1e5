// Names of recovered files.  Parts of a name come from the medium (the
// type of a FAT extension, a FAT file name), so they are made safe before
// they become a path: nothing may ever be written outside the chosen folder.
#pragma once

#include <string>

// A single path component: "/", NUL and control characters become "_";
// "", "." and ".." become "_"; a name longer than 255 bytes is cut at a
// UTF-8 character boundary, keeping a short extension.
std::string safeFileName(const std::string& name);

// "folder/name"; no doubled "/" when folder ends with one; just name when
// folder is empty.
std::string joinPath(const std::string& folder, const std::string& name);

// The name with "-<suffix>" before its extension (the part from the last
// "." of the last component, unless that "." starts the component):
// withSuffix("d/1-2.jpeg", "3") is "d/1-2-3.jpeg".
std::string withSuffix(const std::string& path, const std::string& suffix);

// The folder part of a path ("." when there is none).
std::string folderOf(const std::string& path);

// A new folder that only this user can enter, under the system's temporary
// folder (g_get_tmp_dir); empty on failure.
std::string makePrivateTempFolder();
