// The updater's rules that need no window: how a file is named on screen, how
// progress reads, which manifest names stay inside the installation, and which
// running programs count as the target.
#pragma once

#include <cstdint>
#include <string>

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

// Why a manifest name would lead outside the installation folder, or "" when it
// stays inside: absolute, a drive letter or any colon, a leading "\" or "/", an empty
// part, or a ".." (or ".") part.
std::string ManifestNameProblem(const std::string& gbkName);

// Whether a downloaded file's digest matches the manifest's, regardless of letter
// case; the digest of no bytes stands for an empty file (whose FileMd5 is "").
bool DigestMatches(const std::string& fileMd5, const std::string& manifestMd5);

// The rule that picks the target program's processes: equal after upper-casing the
// ASCII letters only.
bool SameProgramName(const std::string& a, const std::string& b);

}  // namespace updatelogic
