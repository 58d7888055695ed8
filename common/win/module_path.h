// Where the running program lives.
#pragma once

#include <string>

namespace winapp {

// The full path of the running executable (exact, in UTF-16).
std::wstring ModuleFileName();
// The folder part of a full path: up to and including the last backslash or the colon
// of a bare drive. Cut in UTF-16, where a backslash is always a backslash (in GBK
// bytes the second byte of a character such as "乗" is 0x5C too).
std::wstring FolderOfModulePath(const std::wstring& path);
// The program's folder as GBK bytes, with its trailing backslash.
std::string ProgramFolder();
// The executable's file name without its extension ("update"), for box captions.
std::wstring ProgramName();

}  // namespace winapp
