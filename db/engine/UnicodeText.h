#pragma once
// Jet's text rules on an SQLite connection through ICU: case-insensitive comparison of every
// letter (full case folding, so "ß" equals "SS") as the NOCASE collation and as LIKE, and
// CHR(n) as the Windows-1252 character n.

#include <string>

struct sqlite3;

namespace orvendal::jet {

// user_version of the files this adapter creates: their NOCASE indexes are Unicode-folded.
inline constexpr int UnicodeNocaseVersion = 2;

// Replaces NOCASE, LIKE (2 and 3 arguments) and CHR on the connection.
void RegisterUnicodeText(sqlite3* db);
// Rebuilds the NOCASE indexes of a file that another program (or an older version, which
// folded ASCII letters only) may have built, and marks our own files as done. The empty text
// on success, else SQLite's message (a unique index that now finds two equal values).
std::string RefreshNocaseIndexes(sqlite3* db);
// The Windows-1252 character of the code as UTF-8; empty outside 1 to 255.
std::string ChrText(int code);

} // namespace orvendal::jet
