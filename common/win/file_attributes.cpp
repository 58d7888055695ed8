#include "file_attributes.h"

#include <windows.h>

#include "win/gbk_text.h"

namespace winapp {

bool FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesW(gbk::ToWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD a = GetFileAttributesW(gbk::ToWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace winapp
