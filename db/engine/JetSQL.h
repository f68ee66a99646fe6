#pragma once
// Jet SQL to SQLite: the rewriting that lets the statement texts of the access layer run
// unchanged on an SQLite file, and the date-time values as Jet reads and shows them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvendal::jet {

// A value taken out of the statement text; bound to its "?" parameter.
struct TParameter {
    enum class TKind : uint8_t { Text, Blob, Integer };
    TKind Kind;
    std::string Value; // the characters, the bytes, or the decimal digits
};

// A translated statement: SQLite text whose "?" parameters take Parameters in order.
struct TStatement {
    std::string Sql;
    std::vector<TParameter> Parameters;
    bool HasComment = false; // the text holds a "--" or "/*" comment outside literals
    // A query or a change of rows (not a change of the schema): its text with the values taken
    // out recurs from row to row, so its prepared form is worth keeping.
    bool Reusable = false;
};

// Tells whether the named column of the named table holds date-time values.
using TDateColumnTest = std::function<bool(const std::string& table, const std::string& column)>;

// Rewrites one Jet statement text: 0x<hex> literals become bound parameters, double-quoted
// literals become single-quoted ones, chains of literals and CHR()/CHAR() joined by "+" fold
// into one literal, a leading "SELECT TOP n" becomes a trailing "LIMIT n", and text columns of
// CREATE TABLE get the NOCASE collation. German date-time literals ("dd.mm.yyyy[ hh:nn[:ss]]")
// written into or compared with a date-time column (INSERT ... (columns) VALUES (...),
// "column = literal", "column < literal" and the like) become the stored ISO form. In a query
// or change of rows, text and integer literals that are items of the VALUES list or follow a
// comparison or assignment after WHERE, SET, ON or HAVING become bound parameters too.
TStatement Translate(const std::string& text, const TDateColumnTest& isDate = {});
// The table name when text is a CREATE TABLE statement, else empty.
std::string CreatedTable(const std::string& text);

struct TDateTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
// Reads ISO 8601 "yyyy-mm-dd[( |T)hh:nn[:ss]]" or German "dd.mm.yyyy[ hh:nn[:ss]]".
bool ParseDateTime(const std::string& text, TDateTime& value);
// "yyyy-mm-dd hh:nn:ss", the stored form.
std::string IsoText(const TDateTime& value);
// "dd.mm.yyyy hh:nn:ss", the shown form.
std::string GermanText(const TDateTime& value);
// Access's Format of a date-time with the pattern letters d, dd, m, mm, yy, yyyy, h, hh, n, nn,
// s, ss; "m"/"mm" after an hour means minutes.
std::string FormatDateTime(const TDateTime& value, const std::string& pattern);
// ADO type number for an SQLite declared column type; 0 when it names no known type.
int32_t AdoTypeOfDeclared(const std::string& declared);

} // namespace orvendal::jet
