#include "db/engine/JetSQL.h"

#include "db/engine/UnicodeText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

namespace orvendal::jet {
namespace {

enum class TTok : uint8_t { Space, Word, Number, Text, Blob, Ident, Comment, Other };

struct TToken {
    TTok Kind;
    std::string Raw;   // the text as written
    std::string Value; // decoded content of a literal; hex digits of a blob
};

bool IsWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '$' ||
           c == '#' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordChar(char c) {
    return IsWordStart(c) || std::isdigit(static_cast<unsigned char>(c));
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A quoted literal starting at i with the quote character q; doubled quotes stand for one.
size_t ReadQuoted(const std::string& s, size_t i, char q, std::string& value) {
    size_t j = i + 1;
    while (j < s.size()) {
        if (s[j] == q) {
            if (j + 1 < s.size() && s[j + 1] == q) {
                value += q;
                j += 2;
                continue;
            }
            return j + 1;
        }
        value += s[j++];
    }
    return j; // unterminated: SQLite reports it
}

std::vector<TToken> Tokenize(const std::string& s) {
    std::vector<TToken> out;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        size_t j = i + 1;
        TToken t{TTok::Other, {}, {}};
        if (static_cast<unsigned char>(c) <= ' ') {
            while (j < s.size() && static_cast<unsigned char>(s[j]) <= ' ')
                ++j;
            t.Kind = TTok::Space;
        } else if (c == '\'' || c == '"') {
            j = ReadQuoted(s, i, c, t.Value);
            t.Kind = TTok::Text;
        } else if (c == '-' && j < s.size() && s[j] == '-') {
            j = std::min(s.find('\n', j), s.size());
            t.Kind = TTok::Comment;
        } else if (c == '/' && j < s.size() && s[j] == '*') {
            const size_t close = s.find("*/", j + 1);
            j = close == std::string::npos ? s.size() : close + 2;
            t.Kind = TTok::Comment;
        } else if (c == '[') {
            while (j < s.size() && s[j] != ']')
                ++j;
            j = std::min(j + 1, s.size());
            t.Kind = TTok::Ident;
        } else if (c == '0' && j < s.size() && (s[j] == 'x' || s[j] == 'X')) {
            j = i + 2;
            while (j < s.size() && std::isxdigit(static_cast<unsigned char>(s[j])))
                ++j;
            t.Kind = TTok::Blob;
            t.Value = s.substr(i + 2, j - i - 2);
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.'))
                ++j;
            t.Kind = TTok::Number;
        } else if (IsWordStart(c)) {
            while (j < s.size() && IsWordChar(s[j]))
                ++j;
            t.Kind = TTok::Word;
        }
        t.Raw = s.substr(i, j - i);
        out.push_back(std::move(t));
        i = j;
    }
    return out;
}

std::string SqlLiteral(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

size_t NextSolid(const std::vector<TToken>& t, size_t i) {
    while (i < t.size() && t[i].Kind == TTok::Space)
        ++i;
    return i;
}

// One operand of a literal chain at i: a text literal or CHR(n)/CHAR(n). Returns the index
// after it (0 when there is none) and appends its characters to value.
size_t ChainOperand(const std::vector<TToken>& t, size_t i, std::string& value) {
    if (i >= t.size())
        return 0;
    if (t[i].Kind == TTok::Text) {
        value += t[i].Value;
        return i + 1;
    }
    if (t[i].Kind != TTok::Word)
        return 0;
    const std::string name = Upper(t[i].Raw);
    if (name != "CHR" && name != "CHAR")
        return 0;
    const size_t open = NextSolid(t, i + 1);
    if (open >= t.size() || t[open].Raw != "(")
        return 0;
    const size_t num = NextSolid(t, open + 1);
    if (num >= t.size() || t[num].Kind != TTok::Number)
        return 0;
    const size_t close = NextSolid(t, num + 1);
    if (close >= t.size() || t[close].Raw != ")")
        return 0;
    const int code = std::atoi(t[num].Raw.c_str());
    if (code < 1 || code > 255)
        return 0;
    value += ChrText(code);
    return close + 1;
}

// Folds literal chains joined by "+" starting at i into one literal; returns the index after
// the chain, or 0 when no chain with at least one "+" starts there.
size_t FoldChain(const std::vector<TToken>& t, size_t i, std::string& literal) {
    std::string value;
    size_t end = ChainOperand(t, i, value);
    if (end == 0)
        return 0;
    int joined = 0;
    for (;;) {
        const size_t plus = NextSolid(t, end);
        if (plus >= t.size() || t[plus].Raw != "+")
            break;
        std::string more;
        const size_t next = ChainOperand(t, NextSolid(t, plus + 1), more);
        if (next == 0)
            break;
        value += more;
        end = next;
        ++joined;
    }
    if (joined == 0)
        return 0;
    literal = SqlLiteral(value);
    return end;
}

bool IsTextType(const std::string& word) {
    static const char* const names[] = {"VARCHAR", "CHAR",     "TEXT",   "MEMO", "NVARCHAR",
                                        "NCHAR",   "LONGTEXT", "STRING", "NTEXT"};
    const std::string up = Upper(word);
    for (const char* n : names)
        if (up == n)
            return true;
    return false;
}

bool IsWord(const TToken& t, const char* word) {
    return t.Kind == TTok::Word && Upper(t.Raw) == word;
}

std::string Unbracketed(const TToken& t) {
    return t.Kind == TTok::Ident ? t.Raw.substr(1, t.Raw.size() - 2) : t.Raw;
}

// The table a statement writes or reads first: the name after INTO, UPDATE or FROM.
std::string StatementTable(const std::vector<TToken>& t) {
    for (size_t i = 0; i < t.size(); ++i)
        if (IsWord(t[i], "INTO") || IsWord(t[i], "UPDATE") || IsWord(t[i], "FROM")) {
            const size_t n = NextSolid(t, i + 1);
            if (n < t.size() && (t[n].Kind == TTok::Word || t[n].Kind == TTok::Ident))
                return Unbracketed(t[n]);
        }
    return {};
}

// The items of a parenthesised list starting at open: the token index of each item whose
// only solid token is at that index (npos for other items). Returns the index of ")" via end.
std::vector<size_t> ListItems(const std::vector<TToken>& t, size_t open, size_t& end) {
    std::vector<size_t> items;
    int depth = 0;
    size_t single = std::string::npos, solid = 0;
    for (end = open + 1; end < t.size(); ++end) {
        const std::string& r = t[end].Raw;
        if (depth == 0 && (r == "," || r == ")")) {
            items.push_back(solid == 1 ? single : std::string::npos);
            single = std::string::npos;
            solid = 0;
            if (r == ")")
                return items;
            continue;
        }
        if (r == "(")
            ++depth;
        if (r == ")")
            --depth;
        if (t[end].Kind != TTok::Space) {
            single = end;
            ++solid;
        }
    }
    return items;
}

// Token indexes of text literals that go into a date-time column of INSERT INTO t(...) VALUES(...).
std::vector<size_t> InsertDateLiterals(const std::vector<TToken>& t, const std::string& table,
                                       const TDateColumnTest& isDate) {
    std::vector<size_t> out;
    const size_t insert = NextSolid(t, 0);
    if (insert >= t.size() || !IsWord(t[insert], "INSERT"))
        return out;
    size_t open = NextSolid(t, NextSolid(t, NextSolid(t, insert + 1) + 1) + 1), end = 0;
    if (open >= t.size() || t[open].Raw != "(")
        return out;
    const std::vector<size_t> columns = ListItems(t, open, end);
    const size_t values = NextSolid(t, end + 1);
    if (values >= t.size() || !IsWord(t[values], "VALUES"))
        return out;
    open = NextSolid(t, values + 1);
    if (open >= t.size() || t[open].Raw != "(")
        return out;
    const std::vector<size_t> items = ListItems(t, open, end);
    for (size_t k = 0; k < items.size() && k < columns.size(); ++k)
        if (items[k] != std::string::npos && columns[k] != std::string::npos &&
            t[items[k]].Kind == TTok::Text && isDate(table, Unbracketed(t[columns[k]])))
            out.push_back(items[k]);
    return out;
}

// A text literal right after "column <op>" where the column holds date-time values.
bool ComparedWithDate(const std::vector<TToken>& t, size_t i, const std::string& table,
                      const TDateColumnTest& isDate) {
    size_t k = i, ops = 0;
    while (k > 0) {
        --k;
        if (t[k].Kind == TTok::Space)
            continue;
        if (t[k].Raw == "=" || t[k].Raw == "<" || t[k].Raw == ">") {
            ++ops;
            continue;
        }
        return ops > 0 && ops <= 2 && (t[k].Kind == TTok::Word || t[k].Kind == TTok::Ident) &&
               isDate(table, Unbracketed(t[k]));
    }
    return false;
}

// The stored form of a German date-time literal; other texts stay as they are.
std::string DateLiteral(const std::string& value) {
    TDateTime dt;
    return value.size() > 2 && value[2] == '.' && ParseDateTime(value, dt) ? IsoText(dt) : value;
}

} // namespace

std::string CreatedTable(const std::string& text) {
    // Most statements are no CREATE: decide that without tokenizing the whole text.
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || Upper(text.substr(start, 6)) != "CREATE")
        return {};
    const auto t = Tokenize(text);
    size_t a = NextSolid(t, 0), b = NextSolid(t, a + 1), c = NextSolid(t, b + 1);
    if (c >= t.size() || Upper(t[a].Raw) != "CREATE" || Upper(t[b].Raw) != "TABLE")
        return {};
    std::string name = t[c].Raw;
    if (t[c].Kind == TTok::Ident)
        name = name.substr(1, name.size() - 2);
    if (t[c].Kind == TTok::Text)
        name = t[c].Value;
    return name;
}

TStatement Translate(const std::string& text, const TDateColumnTest& isDate) {
    const auto t = Tokenize(text);
    TStatement out;
    const std::string table = isDate ? StatementTable(t) : std::string();
    const std::vector<size_t> insertDates =
        table.empty() ? std::vector<size_t>() : InsertDateLiterals(t, table, isDate);
    const bool createTable = !CreatedTable(text).empty();
    std::string limit;
    size_t i = 0;
    // SELECT [DISTINCT] TOP n ...: the row limit moves to the end.
    const size_t first = NextSolid(t, 0);
    size_t topAt = t.size(), topEnd = t.size();
    if (first < t.size() && Upper(t[first].Raw) == "SELECT") {
        size_t k = NextSolid(t, first + 1);
        if (k < t.size() && Upper(t[k].Raw) == "DISTINCT")
            k = NextSolid(t, k + 1);
        const size_t n = NextSolid(t, k + 1);
        if (n < t.size() && Upper(t[k].Raw) == "TOP" && t[n].Kind == TTok::Number) {
            topAt = k;
            topEnd = n + 1 < t.size() && t[n + 1].Kind == TTok::Space ? n + 2 : n + 1;
            limit = t[n].Raw;
        }
    }
    while (i < t.size()) {
        if (i == topAt) {
            i = topEnd;
            continue;
        }
        std::string literal;
        if (const size_t end = FoldChain(t, i, literal); end != 0) {
            out.Sql += literal;
            i = end;
            continue;
        }
        const TToken& tok = t[i];
        switch (tok.Kind) {
        case TTok::Text: {
            const bool date = !table.empty() && (std::find(insertDates.begin(), insertDates.end(),
                                                           i) != insertDates.end() ||
                                                 ComparedWithDate(t, i, table, isDate));
            out.Sql += SqlLiteral(date ? DateLiteral(tok.Value) : tok.Value);
            break;
        }
        case TTok::Comment:
            out.HasComment = true;
            break;
        case TTok::Blob: {
            std::string hex = tok.Value.size() % 2 ? "0" + tok.Value : tok.Value;
            std::string bytes(hex.size() / 2, '\0');
            for (size_t k = 0; k < bytes.size(); ++k)
                bytes[k] = static_cast<char>(std::stoi(hex.substr(2 * k, 2), nullptr, 16));
            out.Blobs.push_back(std::move(bytes));
            out.Sql += '?';
            break;
        }
        case TTok::Word:
            out.Sql += tok.Raw;
            if (createTable && IsTextType(tok.Raw)) {
                // The collation follows the length, when there is one.
                size_t k = NextSolid(t, i + 1);
                if (k < t.size() && t[k].Raw == "(") {
                    while (k < t.size() && t[k].Raw != ")")
                        ++k;
                    for (size_t m = i + 1; m <= k && m < t.size(); ++m)
                        out.Sql += t[m].Raw;
                    i = std::min(k, t.size() - 1);
                }
                out.Sql += " COLLATE NOCASE";
            }
            break;
        default:
            out.Sql += tok.Raw;
        }
        ++i;
    }
    if (!limit.empty()) {
        while (!out.Sql.empty() &&
               (static_cast<unsigned char>(out.Sql.back()) <= ' ' || out.Sql.back() == ';'))
            out.Sql.pop_back();
        out.Sql += " LIMIT " + limit;
    }
    return out;
}

namespace {
bool Digits(const std::string& s, size_t at, size_t n, int& value) {
    if (at + n > s.size())
        return false;
    value = 0;
    for (size_t k = at; k < at + n; ++k) {
        if (!std::isdigit(static_cast<unsigned char>(s[k])))
            return false;
        value = value * 10 + (s[k] - '0');
    }
    return true;
}

bool ParseTime(const std::string& s, size_t at, TDateTime& v) {
    if (at >= s.size())
        return true;
    if (s[at] != ' ' && s[at] != 'T')
        return false;
    if (!Digits(s, at + 1, 2, v.Hour) || at + 3 >= s.size() || s[at + 3] != ':' ||
        !Digits(s, at + 4, 2, v.Minute))
        return false;
    size_t end = at + 6;
    if (end < s.size() && s[end] == ':') {
        if (!Digits(s, end + 1, 2, v.Second))
            return false;
        end += 3;
        while (end < s.size() &&
               (s[end] == '.' || std::isdigit(static_cast<unsigned char>(s[end]))))
            ++end; // fractions
    }
    return end == s.size() && v.Hour < 24 && v.Minute < 60 && v.Second < 60;
}
} // namespace

bool ParseDateTime(const std::string& s, TDateTime& v) {
    v = TDateTime{};
    bool dateOk = false;
    if (s.size() >= 10 && s[4] == '-' && s[7] == '-')
        dateOk = Digits(s, 0, 4, v.Year) && Digits(s, 5, 2, v.Month) && Digits(s, 8, 2, v.Day);
    else if (s.size() >= 10 && s[2] == '.' && s[5] == '.')
        dateOk = Digits(s, 0, 2, v.Day) && Digits(s, 3, 2, v.Month) && Digits(s, 6, 4, v.Year);
    return dateOk && v.Month >= 1 && v.Month <= 12 && v.Day >= 1 && v.Day <= 31 &&
           ParseTime(s, 10, v);
}

std::string IsoText(const TDateTime& v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", v.Year % 10000, v.Month % 100,
                  v.Day % 100, v.Hour % 100, v.Minute % 100, v.Second % 100);
    return buf;
}

std::string GermanText(const TDateTime& v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", v.Day % 100, v.Month % 100,
                  v.Year % 10000, v.Hour % 100, v.Minute % 100, v.Second % 100);
    return buf;
}

std::string FormatDateTime(const TDateTime& v, const std::string& pattern) {
    std::string out;
    bool afterHour = false;
    size_t i = 0;
    auto num = [&out](int value, int width) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", width, value);
        out += buf;
    };
    while (i < pattern.size()) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i])));
        size_t run = 1;
        while (i + run < pattern.size() &&
               std::tolower(static_cast<unsigned char>(pattern[i + run])) == c)
            ++run;
        const int width = run >= 2 ? 2 : 1;
        switch (c) {
        case 'd':
            num(v.Day, width);
            afterHour = false;
            break;
        case 'y':
            run >= 4 ? num(v.Year, 4) : num(v.Year % 100, 2);
            afterHour = false;
            break;
        case 'h':
            num(v.Hour, width);
            afterHour = true;
            break;
        case 'n':
            num(v.Minute, width);
            afterHour = false;
            break;
        case 's':
            num(v.Second, width);
            afterHour = false;
            break;
        case 'm':
            num(afterHour ? v.Minute : v.Month, width);
            afterHour = false;
            break;
        default:
            out.append(pattern, i, run);
        }
        i += run;
    }
    return out;
}

int32_t AdoTypeOfDeclared(const std::string& declared) {
    std::string base = Upper(declared.substr(0, declared.find('(')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    static const std::map<std::string, int32_t> types = {
        {"INT", 3},           {"INTEGER", 3},     {"LONG", 3},          {"COUNTER", 3},
        {"AUTOINCREMENT", 3}, {"SMALLINT", 2},    {"SHORT", 2},         {"TINYINT", 17},
        {"BYTE", 17},         {"BIGINT", 20},     {"REAL", 4},          {"SINGLE", 4},
        {"FLOAT", 5},         {"DOUBLE", 5},      {"MONEY", 6},         {"CURRENCY", 6},
        {"DECIMAL", 131},     {"NUMERIC", 131},   {"BIT", 11},          {"YESNO", 11},
        {"LOGICAL", 11},      {"BOOLEAN", 11},    {"VARCHAR", 202},     {"NVARCHAR", 202},
        {"TEXT", 202},        {"STRING", 202},    {"CHAR", 130},        {"NCHAR", 130},
        {"MEMO", 203},        {"LONGTEXT", 203},  {"NTEXT", 203},       {"IMAGE", 205},
        {"LONGBINARY", 205},  {"OLEOBJECT", 205}, {"BLOB", 205},        {"BINARY", 204},
        {"VARBINARY", 204},   {"DATETIME", 7},    {"SMALLDATETIME", 7}, {"DATE", 7},
        {"TIME", 7},          {"TIMESTAMP", 7},   {"GUID", 72},         {"UNIQUEIDENTIFIER", 72}};
    const auto it = types.find(base);
    return it == types.end() ? 0 : it->second;
}

} // namespace orvendal::jet
