// The updater's rules that need no window: how a file is named on screen, how
// progress reads, which manifest names stay inside the installation, and which
// running programs count as the target.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TTxtTable;

namespace updatelogic {

// The part of a manifest name after its last backslash or colon (GBK-aware: a
// character whose second byte is 0x5C or 0x3A is no separator), or the whole name.
std::string DisplayName(const std::string& gbkName);

// received * 100 / total, truncated, without overflow for any 32-bit pair; 0 when the
// total is 0 or negative, and kept within 0..100.
int32_t ProgressPercent(int32_t total, int32_t received);
// "%d K/%d K" with thousands of bytes, truncated.
std::string SpeedText(int32_t total, int32_t received);
// "已用时间：%d秒" for the milliseconds since the run started (taken modulo 2^32).
std::string TickText(uint32_t nowTick, uint32_t startTick);

// Why a manifest name cannot be installed, or "" when it can: absolute, a drive letter
// or any colon, a leading "\" or "/", an empty part, a part made only of dots or
// ending in a dot or a blank (the file functions would change or refuse such names),
// or one of the updater's own files at the top of the installation ("update.exe",
// "update.ini", "lastVer.txt", "temp.dat" and the staging folder, in any letter case).
std::string ManifestNameProblem(const std::string& gbkName);

// Why a table read from "Versions.txt" is no manifest of an installation, or "" when
// it is one: a header of fewer than three columns, a header whose third value is a
// digest (a file row stands where the header belongs: the header line is missing), a
// file row without a name or with a digest that is not 32 hexadecimal digits, or a
// name ManifestNameProblem refuses. An HTML error page, say, fails the first test.
std::string ManifestProblem(const TTxtTable& manifest);

// Whether a file's digest (FileMd5: "" for an empty file, no value when there is none)
// is the manifest's, regardless of letter case; the digest of no bytes stands for an
// empty file. The one comparison for both the analysis and the check of a download.
bool DigestMatches(const std::optional<std::string>& fileMd5, const std::string& manifestMd5);

// The words for why a download failed (a TDownloadFailure of the download client),
// for the log: "连接中断" and the like.
std::string DownloadFailureText(int32_t failure);

// The rule that picks the target program's processes: equal after upper-casing the
// ASCII letters only.
bool SameProgramName(const std::string& a, const std::string& b);

}  // namespace updatelogic
