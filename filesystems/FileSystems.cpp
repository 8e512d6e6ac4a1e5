#include "filesystems/FileSystems.h"

#include "fat/FatFamily.h"

FileSystemFamilies allFileSystems() { return {registerFatFamily}; }
