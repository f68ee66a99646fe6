#include "db/engine/JetSQL.h"

#include "db/engine/UnicodeText.h"
#include "tables/UserFkt.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

namespace orvendal::jet {
namespace {

enum class TTok : uint8_t { Space, Word, Number, Text, Blob, Ident, Comment, Other };

struct TToken {
    TTok Kind;
    std::string_view Raw; // the text as written
    std::string Value;    // decoded content of a literal; hex digits of a blob
};

bool IsWordStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '@' || c == '$' ||
           c == '#' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordChar(char c) {
    return IsWordStart(c) || std::isdigit(static_cast<unsigned char>(c));
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Whether raw is the upper-case keyword in any case.
bool SameWord(std::string_view raw, std::string_view keyword) {
    return std::equal(raw.begin(), raw.end(), keyword.begin(), keyword.end(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == b;
    });
}

// A quoted literal starting at i with the quote character q; doubled quotes stand for one.
size_t ReadQuoted(const std::string& s, size_t i, char q, std::string& value) {
    size_t j = i + 1;
    for (;;) {
        const size_t close = s.find(q, j);
        if (close == std::string::npos) {
            value.append(s, j);
            return s.size(); // unterminated: SQLite reports it
        }
        value.append(s, j, close - j);
        if (close + 1 >= s.size() || s[close + 1] != q)
            return close + 1;
        value += q;
        j = close + 2;
    }
}

std::vector<TToken> Tokenize(const std::string& s) {
    std::vector<TToken> out;
    out.reserve(s.size() / 4);
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
        t.Raw = std::string_view(s).substr(i, j - i);
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
    if (!SameWord(t[i].Raw, "CHR") && !SameWord(t[i].Raw, "CHAR"))
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
    const int code = std::atoi(std::string(t[num].Raw).c_str());
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

bool IsTextType(std::string_view word) {
    static const char* const names[] = {"VARCHAR", "CHAR",     "TEXT",   "MEMO", "NVARCHAR",
                                        "NCHAR",   "LONGTEXT", "STRING", "NTEXT"};
    const std::string up = Upper(word);
    for (const char* n : names)
        if (up == n)
            return true;
    return false;
}

bool IsWord(const TToken& t, std::string_view word) {
    return t.Kind == TTok::Word && SameWord(t.Raw, word);
}

std::string Unbracketed(const TToken& t) {
    return std::string(t.Kind == TTok::Ident ? t.Raw.substr(1, t.Raw.size() - 2) : t.Raw);
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
        const std::string_view r = t[end].Raw;
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

// A single-token item of INSERT INTO t(columns) VALUES(items) and the token of its column.
struct TInsertItem {
    size_t Column, Item;
};

std::vector<TInsertItem> InsertItems(const std::vector<TToken>& t) {
    std::vector<TInsertItem> out;
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
        if (items[k] != std::string::npos && columns[k] != std::string::npos)
            out.push_back({columns[k], items[k]});
    return out;
}

const TInsertItem* FindItem(const std::vector<TInsertItem>& items, size_t token) {
    const auto it = std::find_if(items.begin(), items.end(),
                                 [token](const TInsertItem& item) { return item.Item == token; });
    return it == items.end() ? nullptr : &*it;
}

// The token before i is a comparison or assignment operator.
bool AfterComparison(const std::vector<TToken>& t, size_t i) {
    while (i > 0 && t[--i].Kind == TTok::Space) {
    }
    return t[i].Raw == "=" || t[i].Raw == "<" || t[i].Raw == ">";
}

// Digits that fit a 64-bit integer.
bool SmallInteger(std::string_view raw) {
    return raw.size() <= 18 && raw.find('.') == std::string_view::npos;
}

std::string HexBytes(const std::string& digits) {
    const std::string hex = digits.size() % 2 ? "0" + digits : digits;
    std::string bytes(hex.size() / 2, '\0');
    for (size_t k = 0; k < bytes.size(); ++k)
        bytes[k] =
            static_cast<char>(HexDigitValue(hex[2 * k]) * 16 + HexDigitValue(hex[2 * k + 1]));
    return bytes;
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

namespace {

// The table name when the tokens are a CREATE TABLE statement, else empty.
std::string CreatedTable(const std::vector<TToken>& t) {
    size_t a = NextSolid(t, 0), b = NextSolid(t, a + 1), c = NextSolid(t, b + 1);
    if (c >= t.size() || !SameWord(t[a].Raw, "CREATE") || !SameWord(t[b].Raw, "TABLE"))
        return {};
    std::string name(t[c].Raw);
    if (t[c].Kind == TTok::Ident)
        name = name.substr(1, name.size() - 2);
    if (t[c].Kind == TTok::Text)
        name = t[c].Value;
    return name;
}

} // namespace

std::string CreatedTable(const std::string& text) {
    // Most statements are no CREATE: decide that without tokenizing the whole text.
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || Upper(text.substr(start, 6)) != "CREATE")
        return {};
    return CreatedTable(Tokenize(text));
}

namespace {

bool IsRowStatement(const TToken& first) {
    return IsWord(first, "SELECT") || IsWord(first, "INSERT") || IsWord(first, "UPDATE") ||
           IsWord(first, "DELETE");
}

// SELECT [DISTINCT] TOP n: the tokens from TOP to after n, and n.
struct TTop {
    size_t At, End;
    std::string Limit;
};

TTop FindTop(const std::vector<TToken>& t, size_t first) {
    TTop top{t.size(), t.size(), {}};
    if (first >= t.size() || !IsWord(t[first], "SELECT"))
        return top;
    size_t k = NextSolid(t, first + 1);
    if (k < t.size() && IsWord(t[k], "DISTINCT"))
        k = NextSolid(t, k + 1);
    const size_t n = NextSolid(t, k + 1);
    if (n < t.size() && IsWord(t[k], "TOP") && t[n].Kind == TTok::Number) {
        top.At = k;
        top.End = n + 1 < t.size() && t[n + 1].Kind == TTok::Space ? n + 2 : n + 1;
        top.Limit = t[n].Raw;
    }
    return top;
}

// The translation of one statement's tokens, literal by literal.
class TTranslator {
public:
    TTranslator(const std::string& text, const TDateColumnTest& isDate)
        : t_(Tokenize(text)), isDate_(isDate) {
        table_ = isDate ? StatementTable(t_) : std::string();
        inserted_ = InsertItems(t_);
        createTable_ = !CreatedTable(t_).empty();
        const size_t first = NextSolid(t_, 0);
        out_.Reusable = first < t_.size() && IsRowStatement(t_[first]);
        top_ = FindTop(t_, first);
    }

    TStatement Run() {
        for (size_t i = 0; i < t_.size(); ++i) {
            std::string literal;
            if (i == top_.At) {
                i = top_.End - 1;
            } else if (const size_t end = FoldChain(t_, i, literal); end != 0) {
                out_.Sql += literal;
                i = end - 1;
            } else {
                i = Token(i);
            }
        }
        if (!top_.Limit.empty()) {
            while (!out_.Sql.empty() &&
                   (static_cast<unsigned char>(out_.Sql.back()) <= ' ' || out_.Sql.back() == ';'))
                out_.Sql.pop_back();
            out_.Sql += " LIMIT " + top_.Limit;
        }
        return std::move(out_);
    }

private:
    // Writes token i; returns the last token index it used.
    size_t Token(size_t i) {
        const TToken& tok = t_[i];
        const TInsertItem* item = FindItem(inserted_, i);
        switch (tok.Kind) {
        case TTok::Text:
            Value(i, item, TParameter::TKind::Text,
                  IsDate(i, item) ? DateLiteral(tok.Value) : tok.Value);
            break;
        case TTok::Number:
            if (SmallInteger(tok.Raw))
                Value(i, item, TParameter::TKind::Integer, std::string(tok.Raw));
            else
                out_.Sql += tok.Raw;
            break;
        case TTok::Comment:
            out_.HasComment = true;
            break;
        case TTok::Blob:
            Bind(TParameter::TKind::Blob, HexBytes(tok.Value));
            break;
        case TTok::Word:
            return Word(i);
        default:
            out_.Sql += tok.Raw;
        }
        return i;
    }

    size_t Word(size_t i) {
        const TToken& tok = t_[i];
        out_.Sql += tok.Raw;
        if (IsWord(tok, "WHERE") || IsWord(tok, "SET") || IsWord(tok, "ON") ||
            IsWord(tok, "HAVING"))
            afterClause_ = true;
        if (!createTable_ || !IsTextType(tok.Raw))
            return i;
        // The collation follows the length, when there is one.
        size_t k = NextSolid(t_, i + 1);
        if (k < t_.size() && t_[k].Raw == "(") {
            while (k < t_.size() && t_[k].Raw != ")")
                ++k;
            for (size_t m = i + 1; m <= k && m < t_.size(); ++m)
                out_.Sql += t_[m].Raw;
            i = std::min(k, t_.size() - 1);
        }
        out_.Sql += " COLLATE NOCASE";
        return i;
    }

    // Whether literal i, the item of an INSERT's VALUES list or none, meets a date-time column.
    bool IsDate(size_t i, const TInsertItem* item) const {
        if (table_.empty())
            return false;
        return item != nullptr ? isDate_(table_, Unbracketed(t_[item->Column]))
                               : ComparedWithDate(t_, i, table_, isDate_);
    }

    // A value goes out of the text where it is one: a VALUES item or the right side of a
    // comparison or assignment in a clause.
    void Value(size_t i, const TInsertItem* item, TParameter::TKind kind, std::string value) {
        if (out_.Reusable && (item != nullptr || (afterClause_ && AfterComparison(t_, i))))
            Bind(kind, std::move(value));
        else
            out_.Sql += kind == TParameter::TKind::Text ? SqlLiteral(value) : value;
    }

    void Bind(TParameter::TKind kind, std::string value) {
        out_.Parameters.push_back({kind, std::move(value)});
        out_.Sql += '?';
    }

    const std::vector<TToken> t_;
    const TDateColumnTest& isDate_;
    std::string table_;
    std::vector<TInsertItem> inserted_;
    bool createTable_ = false;
    bool afterClause_ = false;
    TTop top_;
    TStatement out_;
};

} // namespace

TStatement Translate(const std::string& text, const TDateColumnTest& isDate) {
    return TTranslator(text, isDate).Run();
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
