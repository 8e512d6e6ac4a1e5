#include "filesystems/FileSystems.h"

#include "exfat/ExfatFamily.h"
#include "fat/FatFamily.h"

FileSystemFamilies allFileSystems() { return {registerFatFamily, registerExfatFamily}; }
