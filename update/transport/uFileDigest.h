// The digest the manifest's "fmd5" values follow: MD5, 32 lowercase hex digits, over
// the whole file when it holds 4048 bytes or fewer, else over bytes 4048 to the end.
// The size is taken when the file is first opened; bytes added later are never fed.
#pragma once

#include <string>

// The digest text of the file at `path` (GBK bytes on Windows), or the empty text
// when the file is missing, cannot be opened for reading (held open for writing by
// another program), or holds no bytes.
std::string FileMd5(const std::string& path);

// The 16 bytes of an MD5 digest as 32 lowercase hex digits.
std::string DigestHex(const unsigned char* digest, size_t len);

// MD5 of bytes in memory, as text (the digest of a whole small file, for tests and tools).
std::string Md5OfBytes(const void* data, size_t len);
