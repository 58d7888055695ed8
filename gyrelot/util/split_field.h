// Taking one field out of a text whose fields are separated by a marker, as the
// start-up does with its command-line argument "id|name|address".
#pragma once

#include <string>
#include <string_view>

// Field `index` (0-based) of `text`, or the empty text when there is no such field.
// Every occurrence of `separator` (matched left to right, without overlap, letters
// regardless of case) ends a field, and so do CR LF, CR and LF already in the text.
// Empty fields between two markers count; a marker at the very end adds no field.
// Bytes are compared as bytes: a separator byte matches even where it is the second
// byte of a GBK character, as the start-up has always read its argument.
std::string SplitField(std::string_view text, std::string_view separator, int index);
