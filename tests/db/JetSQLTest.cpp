// The Jet to SQLite rewriting and the date-time forms of the adapter.
#include "db/engine/JetSQL.h"

#include <gtest/gtest.h>

namespace orvendal::jet {
namespace {

TEST(DbJetTranslate, Statements) {
    struct {
        const char *jet, *sqlite;
        size_t blobs;
    } const cases[] = {
        {"SELECT TOP 3 a FROM T", "SELECT a FROM T LIMIT 3", 0},
        {"select distinct top 10 a FROM T ORDER BY a;",
         "select distinct a FROM T ORDER BY a LIMIT 10", 0},
        {"SELECT a FROM T WHERE b='TOP 3'", "SELECT a FROM T WHERE b='TOP 3'", 0},
        {"UPDATE MBlob SET FeldBlob=0x01AB WHERE Id=5", "UPDATE MBlob SET FeldBlob=? WHERE Id=5",
         1},
        {"UPDATE T SET a=0x1, b=0x WHERE c='0x12'", "UPDATE T SET a=?, b=? WHERE c='0x12'", 2},
        {"SELECT * FROM T WHERE SysValue=\"3\"", "SELECT * FROM T WHERE SysValue='3'", 0},
        {"SELECT \"it's\"", "SELECT 'it''s'", 0},
        {"VALUES('O'+CHR(39)+'Neil')", "VALUES('O''Neil')", 0},
        {"VALUES('a'+CHAR(13)+''+CHAR(10)+'b')", "VALUES('a\r\nb')", 0},
        {"SET x='a' + chr( 39 ) + 'b'", "SET x='a''b'", 0},
        {"SELECT a+'b'+CHR(39)", "SELECT a+'b'''", 0},
        {"SELECT 1+2, 'x'+y", "SELECT 1+2, 'x'+y", 0},
        {"SELECT CHR(39)", "SELECT CHR(39)", 0},
        {"CREATE TABLE T (a VARCHAR(25) NOT NULL,b CHAR(1),c INT,d MEMO)",
         "CREATE TABLE T (a VARCHAR(25) COLLATE NOCASE NOT NULL,b CHAR(1) COLLATE NOCASE,c INT,d "
         "MEMO COLLATE NOCASE)",
         0},
        {"SELECT CHAR(65)", "SELECT CHAR(65)", 0},
    };
    for (const auto& c : cases) {
        const TStatement t = Translate(c.jet);
        EXPECT_EQ(t.Sql, c.sqlite) << c.jet;
        EXPECT_EQ(t.Blobs.size(), c.blobs) << c.jet;
    }
    const TStatement odd = Translate("SET a=0xABC");
    ASSERT_EQ(odd.Blobs.size(), 1u);
    EXPECT_EQ(odd.Blobs[0], std::string("\x0A\xBC", 2));
    EXPECT_EQ(CreatedTable("create table [My T] (a INT)"), "My T");
    EXPECT_EQ(CreatedTable("CREATE INDEX i ON T(a)"), "");
}

TEST(DbJetTranslate, GermanDatesIntoDateColumnsOnly) {
    const TDateColumnTest isDate = [](const std::string& table, const std::string& column) {
        return table == "MBlob" && (column == "Created" || column == "Termin");
    };
    struct {
        const char *jet, *sqlite;
    } const cases[] = {
        {"INSERT INTO MBlob(Id,FeldValue,Created)\r\nVALUES(1,'06.12.2026','06.12.2026 10:05')",
         "INSERT INTO MBlob(Id,FeldValue,Created)\r\nVALUES(1,'06.12.2026','2026-12-06 10:05:00')"},
        {"UPDATE MBlob SET Created='31.12.2025 23:59:58', FeldValue='01.01.2020' WHERE "
         "Termin>='01.02.2026'",
         "UPDATE MBlob SET Created='2025-12-31 23:59:58', FeldValue='01.01.2020' WHERE "
         "Termin>='2026-02-01 00:00:00'"},
        {"SELECT * FROM MBlob WHERE Created<>'kein Datum'",
         "SELECT * FROM MBlob WHERE Created<>'kein Datum'"},
        {"SELECT * FROM Other WHERE Created='06.12.2026'",
         "SELECT * FROM Other WHERE Created='06.12.2026'"},
        {"INSERT INTO MBlob(Id,Created) VALUES(1,Format('06.12.2026','dd'))",
         "INSERT INTO MBlob(Id,Created) VALUES(1,Format('06.12.2026','dd'))"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Translate(c.jet, isDate).Sql, c.sqlite) << c.jet;
}

TEST(DbJetDates, ParseAndRender) {
    struct {
        const char *text, *iso;
    } const good[] = {
        {"06.12.2026", "2026-12-06 00:00:00"},
        {"06.12.2026 10:05", "2026-12-06 10:05:00"},
        {"06.12.2026 10:05:07", "2026-12-06 10:05:07"},
        {"2026-12-06T10:05:07", "2026-12-06 10:05:07"},
        {"2026-12-06 10:05:07.250", "2026-12-06 10:05:07"},
    };
    for (const auto& c : good) {
        TDateTime v;
        ASSERT_TRUE(ParseDateTime(c.text, v)) << c.text;
        EXPECT_EQ(IsoText(v), c.iso);
    }
    for (const char* bad : {"", "6.12.2026", "2026-13-01", "06.12.2026 25:00", "06.12.2026x",
                            "hello world", "2026-12-06 10"}) {
        TDateTime v;
        EXPECT_FALSE(ParseDateTime(bad, v)) << bad;
    }
    const TDateTime v{2026, 3, 4, 5, 6, 7};
    EXPECT_EQ(GermanText(v), "04.03.2026 05:06:07");
    struct {
        const char *pattern, *text;
    } const formats[] = {
        {"dd.mm.yyyy", "04.03.2026"},
        {"hh:mm", "05:06"},
        {"dd.mm.yyyy hh:nn", "04.03.2026 05:06"},
        {"d.m.yy", "4.3.26"},
        {"hh:nn:ss", "05:06:07"},
        {"yyyy-mm-dd", "2026-03-04"},
        {"HH:MM", "05:06"},
    };
    for (const auto& f : formats)
        EXPECT_EQ(FormatDateTime(v, f.pattern), f.text) << f.pattern;
}

TEST(DbJetTypes, DeclaredTypes) {
    struct {
        const char* declared;
        int32_t type;
    } const cases[] = {{"INT", 3},       {"SMALLINT", 2}, {"VARCHAR(255)", 202},
                       {"CHAR(1)", 130}, {"IMAGE", 205},  {"SMALLDATETIME", 7},
                       {"datetime", 7},  {"MEMO", 203},   {"FLOAT", 5},
                       {"BIT", 11},      {"WHATEVER", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(AdoTypeOfDeclared(c.declared), c.type) << c.declared;
}

} // namespace
} // namespace orvendal::jet
