// One line per event on stdout, with a timestamp, flushed at once (operators and
// tests read it as it happens).
#pragma once

#include <string>

void LogLine(const std::string& text);
