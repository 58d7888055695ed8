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

namespace version {

// A profile integer: decimal with an optional sign, or hexadecimal after "0x", "0X"
// or "$" (up to eight digits, taken as a 32-bit pattern). Anything else, including
// surrounding blanks and values outside 32 bits, is no number.
std::optional<int32_t> ParseProfileInt(std::string_view text);

// Profile format without the platform: the value of `key` in `section` (first match,
// names compared regardless of case, the value trimmed and unquoted), if present.
std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key);
// `content` with `key` in `section` set to `value`: an existing entry (any case) is
// replaced in place, a missing one added to its section, a missing section appended.
// Every other line is kept as it was.
std::string SetProfileValue(std::string_view content, std::string_view section, std::string_view key,
                            std::string_view value);

// The version number in the file at `path`: 0 when the file, the section or the key
// is missing or the value is no number.
int32_t ReadVersionFile(const std::string& path);

// Records `version` under key "lastVer" of section "ver", keeping the rest of the file;
// creates the file when it does not exist. Returns false, with the reason, on failure.
bool WriteVersionFile(const std::string& path, int32_t version, std::string* error = nullptr);

}  // namespace version
