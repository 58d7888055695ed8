// Whether a path (GBK) names an existing file or folder.
#pragma once

#include <string>

namespace winapp {

// An existing file; a folder of that name does not count.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

}  // namespace winapp
