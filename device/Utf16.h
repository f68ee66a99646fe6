#pragma once
// UTF-8 <-> UTF-16 for device paths: the program keeps UTF-8, the remote API takes UTF-16.

#include <string>
#include <string_view>

namespace orvendal {

// Converts UTF-8 to UTF-16; false (and out unspecified) on a malformed or overlong sequence.
bool Utf8ToUtf16(std::string_view text, std::u16string& out);
// Converts UTF-16 to UTF-8; false on an unpaired surrogate.
bool Utf16ToUtf8(std::u16string_view text, std::string& out);

} // namespace orvendal
