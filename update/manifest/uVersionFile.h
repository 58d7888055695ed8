// The version files: the server's "LastVer.txt" and the installation's "lastVer.txt",
// profile files whose section "ver" holds the version number under key "LastVer":
//
//   [ver]
//   LastVer=42
//
// Section and key names match regardless of case; the updater writes the key back
// as "lastVer", and it must be found again under both spellings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/profile.h"

namespace version {

// The profile reading the version files share with the other readers.
using profile::FindProfileValue;
using profile::ParseProfileInt;
using profile::SetProfileValue;

// The version number in the file at `path`: 0 when the file, the section or the key
// is missing or the value is no number.
int32_t ReadVersionFile(const std::string& path);

// Records `version` under key "lastVer" of section "ver", keeping the rest of the file;
// creates the file when it does not exist. Returns false, with the reason, on failure.
bool WriteVersionFile(const std::string& path, int32_t version, std::string* error = nullptr);

}  // namespace version
