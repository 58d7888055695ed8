// Conversion between the host's file names (UTF-8 on the Linux servers and tools)
// and the system's GBK bytes (code page 936), for the programs that run on Linux.
#pragma once

#include <string>
#include <string_view>

namespace host {

// False when some character has no GBK form (or the input is not valid UTF-8).
bool Utf8ToGbk(std::string_view utf8, std::string& gbk);
// False when the bytes are not valid GBK.
bool GbkToUtf8(std::string_view gbk, std::string& utf8);

}  // namespace host
