// Ending the running instances of the target program before its files are replaced.
#pragma once

#include <string>

// Terminates every process whose executable's file name, or failing that its whole
// name as the process list gives it, equals `name` (ASCII letters compared without
// case), and waits up to `waitMs` for each to be gone so its files are free. True
// when the last termination attempted succeeded; false when none was attempted.
bool TerminateProcessesByName(const std::string& name, unsigned waitMs = 5000);
