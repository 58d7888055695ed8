// Line handling shared by the field splitter and the text table: both read their
// texts the way the original platform's string lists do.
#pragma once

#include <string_view>
#include <vector>

namespace txt {

// Lines ending at CR LF, CR or LF (LF CR is two line ends); the text after the last
// line end is a line when it is not empty, so an empty text has no lines.
std::vector<std::string_view> SplitLines(std::string_view text);

// Removes every byte of value 0x20 or below (spaces and control bytes) from both ends.
std::string_view TrimControl(std::string_view text);

}  // namespace txt
