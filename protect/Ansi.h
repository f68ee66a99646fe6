#pragma once
// Text encodings at the program's boundaries. Inside, text is UTF-8; settings files, mail
// subjects and key texts carry Windows-1252 bytes, and XML documents come in the encoding they
// declare. Every conversion goes through ICU's converters.

#include <string>
#include <string_view>
#include <vector>

namespace orvendal {

// Windows-1252 bytes to UTF-8. The five unassigned bytes map to the C1 control characters.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 to Windows-1252; characters without a Windows-1252 byte (and broken UTF-8) become '?'.
std::string Utf8ToAnsi(std::string_view utf8);
// UTF-8 to the named encoding for HTML and XML text: characters the encoding cannot hold become
// character references ("&#x2713;"), so that nothing is lost.
std::string Utf8ToMarkup(std::string_view utf8, const char* encoding);
// UTF-8 to Windows-1252 without loss: false when the text is no UTF-8 or holds a character
// that Windows-1252 cannot represent; problem then says which (German, for the user).
bool Utf8ToAnsiExact(std::string_view utf8, std::string& ansi, std::string& problem);

// The encoding names a converter is known for (ICU's aliases, case-insensitive).
bool KnownEncoding(const std::string& name);
// True when both names stand for the same converter; ISO-8859-1 counts as Windows-1252.
bool SameEncoding(const std::string& a, const std::string& b);
// Bytes in the named encoding to UTF-8; ISO-8859-1 and its aliases are read as Windows-1252,
// as browsers do. False when the name is unknown (errorOffset npos) or at the first byte
// sequence that is invalid in the encoding (errorOffset its 0-based offset in bytes).
bool DecodeText(std::string_view bytes, const std::string& encoding, std::string& utf8,
                size_t& errorOffset);

// The lines of a text, each ended by CR LF, LF or a lone CR; a last line without a break
// counts, an empty text has none.
std::vector<std::string> SplitLines(std::string_view text);

} // namespace orvendal
