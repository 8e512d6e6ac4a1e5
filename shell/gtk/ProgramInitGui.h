// Start-up with the toolkit: the core steps, the toolkit, the language and
// the default window icon.
#pragma once

class ConfigRecord;

// 0 when the program may run, -1 when it must stop ("ProgramInit(13)" no
// program name, "ProgramInit(44)" no display).  argc and argv are passed by
// address so that the toolkit can remove its own options.
int ProgramInit(ConfigRecord& config, int* argc, char*** argv);

// Loads "Program Path"/"Program Icon" as the default icon of all windows;
// false (and nothing set) when it does not load.
bool setDefaultWindowIcon(const ConfigRecord& config);
