#pragma once
// Small shared text and platform functions. They keep no state.

#include <functional>
#include <string>
#include <vector>

namespace orvendal {

// Removes leading and trailing blanks and control characters (every character up to ' ').
std::string Trim(const std::string& text);
// The text read as a decimal integer (optional sign, surrounding blanks allowed); fallback
// when it is no number or out of range.
int StrToIntDef(const std::string& text, int fallback);

// The text with its ASCII letters in lower case.
std::string LowerCase(std::string text);
// The names of the regular files in folder ("" the current one) whose lower-case name passes
// keep, in name order, so that listings are the same on every machine.
std::vector<std::string> FileNames(const std::string& folder,
                                   const std::function<bool(const std::string&)>& keep);

// The trimmed text right-aligned in exactly width characters: padded on the left with fill, or
// cut to its last width characters; width <= 0 gives the empty text.
std::string PadLeft(const std::string& text, int width, char fill);
// The text enclosed in single quotes; inner quotes are not doubled.
std::string Quote(const std::string& text);
// 0-9, A-F and a-f give 0 to 15; every other character gives 0.
int HexDigitValue(char c);
// Byte value of a two-character hexadecimal text; any other length gives 0.
int HexByte(const std::string& text);
// The machine's network name, or "(unbekannt)" when it cannot be read.
std::string ComputerName();
// The folder for temporary files, with its trailing separator ($TMPDIR, else /tmp/).
std::string TempPath();
// One version value ("ProductName", "FileVersion", "LegalCopyright") of the program; the build
// records them. An empty fileName means the program itself; other files have no values.
std::string VersionValue(const std::string& fileName, const std::string& key);

} // namespace orvendal
