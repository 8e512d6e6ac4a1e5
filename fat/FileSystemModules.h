// The modules that connect the FAT scan to the signature scanner:
// "BootSector" and "Subdirectory" (bound to one file case) and "RiffLocal".
#pragma once

class FileCase;
class FileModuleRegistry;

// Adds "BootSector", "Subdirectory" and "RiffLocal" to the case's registry.
void registerFileSystemModules(FileModuleRegistry& registry, FileCase* fileCase);
