// The digest the manifest's "fmd5" values follow: MD5, 32 lowercase hex digits, over
// the whole file when it holds 4048 bytes or fewer, else over bytes 4048 to the end.
// The size is taken when the file is first opened; bytes added later are never fed.
#pragma once

#include <functional>
#include <optional>
#include <string>

// The digest text of the file at `path` (GBK bytes on Windows); the empty text for a
// file that holds no bytes. No value when no digest can be had: the file is missing,
// cannot be opened for reading (held open for writing by another program), or a read
// fails or comes up short. Never the digest of a part.
// `keepGoing`, when given, is asked every few MiB of a large file (a window thread
// serves its messages there); when it answers false the digest is given up (no value).
std::optional<std::string> FileMd5(const std::string& path, const std::function<bool()>& keepGoing = nullptr);

// The 16 bytes of an MD5 digest as 32 lowercase hex digits.
std::string DigestHex(const unsigned char* digest, size_t len);

// MD5 of bytes in memory, as text (the digest of a whole small file, for tests and tools).
std::string Md5OfBytes(const void* data, size_t len);
