#pragma once
// Conversion between the program's UTF-8 text and the Windows-1252 bytes that settings files,
// mail subjects and key texts carry inside their containers.

#include <string>

namespace orvendal {

// Windows-1252 bytes to UTF-8. The five unassigned bytes map to the C1 control characters.
std::string AnsiToUtf8(const std::string& ansi);
// UTF-8 to Windows-1252; characters without a Windows-1252 byte (and broken UTF-8) become '?'.
std::string Utf8ToAnsi(const std::string& utf8);

} // namespace orvendal
