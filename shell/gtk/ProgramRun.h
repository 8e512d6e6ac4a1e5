// The run loop and the program's outer frame.
#pragma once

#include <functional>

class ConfigRecord;

// Shows the splash, then alternates the selection and browser windows
// until the user quits.  0 after a normal end; -1 after an exception, which
// is shown in an error box ("Exception: %1" or "Unknown exception") and
// logged as "ProgramRun(51): text" or "ProgramRun(55)".
int ProgramRun(ConfigRecord& config);

// The exception frame alone: runs body, returns its result, or shows and
// logs an escaping exception and returns -1.
int runGuarded(const std::function<int()>& body);
