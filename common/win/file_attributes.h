// Whether a path (GBK) names an existing file or folder.
#pragma once

#include <string>

namespace winapp {

// An existing file; a folder of that name does not count.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Deletes a file even when it is read-only, hidden or a system file (its attributes
// are cleared first, and put back if the deletion fails). True when no file is left.
bool ForceDeleteFile(const std::string& path);

}  // namespace winapp
