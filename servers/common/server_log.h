// What both servers write: one line per event on stdout, with a timestamp, flushed at
// once (operators and tests read it as it happens), and names from the wire made safe
// for such a line.
#pragma once

#include <string>

void LogLine(const std::string& text);

// Bytes for a log line: control characters and the quote (and, with
// `escapeBackslash`, the backslash) become \xNN, so a name can neither break the line
// nor its quoted field. Bytes from 0x80 up are kept when `keepHigh` (they are UTF-8
// text) and escaped otherwise (raw bytes).
std::string EscapeForLog(const std::string& bytes, bool keepHigh, bool escapeBackslash = false);
