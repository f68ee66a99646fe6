#include "db/engine/UnicodeText.h"

#include "protect/Ansi.h"

#include <sqlite3.h>
#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace orvendal::jet {
namespace {

constexpr int OurApplicationId = 1330795086; // written by TADOConnection::CreateCatalog

std::string Folded(std::string_view text) {
    std::string out;
    icu::StringByteSink<std::string> sink(&out, static_cast<int32_t>(text.size()));
    UErrorCode error = U_ZERO_ERROR;
    icu::CaseMap::utf8Fold(U_FOLD_CASE_DEFAULT, icu::StringPiece(text.data(), text.size()), sink,
                           nullptr, error);
    return out;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Compares the case-folded texts by code point. Most text is ASCII: only the rest from the
// first other byte on is folded through ICU.
int FoldedCompare(void*, int length1, const void* data1, int length2, const void* data2) {
    const std::string_view a(static_cast<const char*>(data1), static_cast<size_t>(length1));
    const std::string_view b(static_cast<const char*>(data2), static_cast<size_t>(length2));
    size_t i = 0;
    for (; i < a.size() && i < b.size() && static_cast<unsigned char>(a[i]) < 0x80 &&
           static_cast<unsigned char>(b[i]) < 0x80;
         ++i) {
        if (const char x = LowerAscii(a[i]), y = LowerAscii(b[i]); x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (i == a.size() || i == b.size()) {
        return (i < a.size()) - (i < b.size());
    }
    const int order = Folded(a.substr(i)).compare(Folded(b.substr(i)));
    return (order > 0) - (order < 0);
}

UChar32 Next(std::string_view text, size_t& at) {
    UChar32 c = 0;
    int32_t i = static_cast<int32_t>(at);
    U8_NEXT(text.data(), i, static_cast<int32_t>(text.size()), c);
    at = static_cast<size_t>(i);
    return c;
}

// SQL LIKE on folded texts: "%" any run, "_" one character, escape (if >= 0) takes the next
// pattern character literally. Backtracks to the last "%" only, which is enough for LIKE.
bool LikeMatch(std::string_view pattern, std::string_view text, UChar32 escape) {
    size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            size_t nextP = p, nextT = t;
            UChar32 c = Next(pattern, nextP);
            if (c == '%' && c != escape) {
                starP = p = nextP;
                starT = t;
                continue;
            }
            const bool literal = c == escape && nextP < pattern.size();
            if (literal) {
                c = Next(pattern, nextP);
            }
            const UChar32 s = Next(text, nextT);
            if ((c == '_' && !literal) || c == s) {
                p = nextP;
                t = nextT;
                continue;
            }
        }
        if (starP == std::string_view::npos) {
            return false;
        }
        p = starP;
        Next(text, starT);
        t = starT;
    }
    while (p < pattern.size() && pattern[p] == '%') {
        ++p;
    }
    return p == pattern.size();
}

std::string_view TextOf(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return text ? std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value)))
                : std::string_view();
}

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            return sqlite3_result_null(ctx);
        }
    }
    UChar32 escape = -1;
    if (argc == 3) {
        const std::string folded = Folded(TextOf(argv[2]));
        size_t at = 0;
        escape = folded.empty() ? -1 : Next(folded, at);
        if (at != folded.size() || escape < 0) {
            return sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
        }
    }
    // like(pattern, text): SQLite passes "text LIKE pattern" with the pattern first.
    sqlite3_result_int(ctx, LikeMatch(Folded(TextOf(argv[0])), Folded(TextOf(argv[1])), escape));
}

void ChrFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::string text = ChrText(sqlite3_value_int(argv[0]));
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int PragmaValue(sqlite3* db, const char* name) {
    sqlite3_stmt* statement = nullptr;
    int value = -1;
    if (sqlite3_prepare_v2(db, (std::string("PRAGMA ") + name).c_str(), -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        value = sqlite3_column_int(statement, 0);
    }
    sqlite3_finalize(statement);
    return value;
}

} // namespace

void RegisterUnicodeText(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_collation(db, "NOCASE", SQLITE_UTF8, nullptr, FoldedCompare);
    sqlite3_create_function(db, "LIKE", 2, flags, nullptr, LikeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "LIKE", 3, flags, nullptr, LikeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "CHR", 1, flags, nullptr, ChrFunction, nullptr, nullptr);
}

std::string RefreshNocaseIndexes(sqlite3* db) {
    const bool ours = PragmaValue(db, "application_id") == OurApplicationId;
    if ((ours && PragmaValue(db, "user_version") >= UnicodeNocaseVersion) ||
        sqlite3_db_readonly(db, "main") == 1) {
        return {};
    }
    const std::string mark = "PRAGMA user_version=" + std::to_string(UnicodeNocaseVersion);
    if (sqlite3_exec(db, "REINDEX NOCASE", nullptr, nullptr, nullptr) != SQLITE_OK ||
        (ours && sqlite3_exec(db, mark.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)) {
        return sqlite3_errmsg(db);
    }
    return {};
}

std::string ChrText(int code) {
    return code >= 1 && code <= 255 ? AnsiToUtf8(std::string(1, static_cast<char>(code)))
                                    : std::string();
}

} // namespace orvendal::jet
