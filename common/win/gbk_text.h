// The system's texts are GBK byte strings. They become UTF-16 only at the call of a
// W function, converted explicitly from code page 936, so windows read correctly
// whatever code page the machine is set to.
#pragma once

#include <string>
#include <string_view>

namespace gbk {

constexpr unsigned kCodePage = 936;

std::wstring ToWide(std::string_view text);
std::string FromWide(std::wstring_view text);

}  // namespace gbk

// UTF-8, for the test tools that talk to Linux programs.
namespace utf8 {

std::wstring ToWide(std::string_view text);
std::string FromWide(std::wstring_view text);

}  // namespace utf8
