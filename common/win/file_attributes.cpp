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

bool ForceDeleteFile(const std::string& path) {
  const std::wstring w = gbk::ToWide(path);
  const DWORD attrs = GetFileAttributesW(w.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return true;
  SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileW(w.c_str())) return true;
  SetFileAttributesW(w.c_str(), attrs);
  return false;
}

}  // namespace winapp
