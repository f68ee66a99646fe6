// TSQLADOServer on real SQLite files through the Jet adapter: statements with their effects and
// the provider's messages, the Jet SQL forms and dates, opening and creating files, record sets,
// long binary values, transactions, locks and QueryToXML.
#include "db/Crlf.h"
#include "db/SQLADO.h"

#include "common/TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

namespace orvendal {
namespace {

namespace fs = std::filesystem;
using testing::Crlf;

class DbEngine : public ::testing::Test {
protected:
    void SetUp() override {
        s.SetServerType(Jet);
        s.DataSource = path;
        ASSERT_TRUE(s.CreateDatabase() && s.Connect()) << s.LastError;
        for (const char* table : {"CREATE TABLE MBlob (Id INT NOT NULL CONSTRAINT pk PRIMARY KEY,"
                                  "AuftragId INT,FeldId INT,FeldValue VARCHAR(255),FeldBlob IMAGE,"
                                  "Created SMALLDATETIME NOT NULL,CONSTRAINT u UNIQUE "
                                  "(AuftragId,FeldId,FeldValue))",
                                  "CREATE TABLE SysData (Id SMALLINT NOT NULL PRIMARY KEY,SysValue "
                                  "VARCHAR(255),LastEdit SMALLDATETIME)"})
            ASSERT_TRUE(s.ExecSQL(table)) << s.LastError;
    }
    // Runs a statement text: a query's rows as "a|b;c|d" (with "TYPES " before the text, the
    // ADO type numbers and letters instead of the values; with "XMLn " before it, QueryToXML with
    // option n), "#n" for the rows an action changed,
    // "!message" for a failure, "!!message" for a row the database refused.
    std::string Run(const std::string& sql) {
        if (sql.starts_with("XML"))
            return QueryToXML(s, sql.substr(5), uint8_t(sql[3] - '0'));
        const bool types = sql.starts_with("TYPES ");
        s.SQL = types ? sql.substr(6) : sql;
        TRecordSet rs;
        if (!s.Execute(rs))
            return (s.Refused ? "!!" : "!") + s.LastError;
        if (!HasRecordSet(rs))
            return "#" + std::to_string(s.RecordsAffected());
        std::string out;
        for (int r = 1; r <= RowCount(rs); ++r)
            for (int c = 1; c <= FieldCount(rs); ++c)
                out += std::string(c > 1 ? "|" : (r > 1 ? ";" : "")) +
                       (types ? std::to_string(FieldType(rs, r, c)) + FieldTypeLetter(rs, 0, c)
                              : FieldText(rs, r, c));
        return out;
    }

    testing::TTempFolder folder;
    std::string path = folder.File("mobil.mdb");
    TSQLADOServer s;
};

// Each line: a statement text, " => ", what Run gives; "\n" stands for CR LF. In order:
// dates stored as ISO and shown as a German desktop does, ORDER BY over rows inserted out of
// order, TOP, literal chains, Access date patterns, case-insensitive text, binary literals, the
// provider's messages, one statement per text without comments (so that a value reaching a text
// unquoted cannot add a statement or cut the rest off), declared column types, every letter
// compared case-insensitively in =, LIKE, ORDER BY and UNIQUE, CHR as Windows-1252, statements
// that repeat a shape with other values (also across a change of the table).
const char* const Steps =
    R"(INSERT INTO SysData(Id,SysValue,LastEdit)\nVALUES(9,'  42 ','06.12.2026 10:05') => #1
INSERT INTO SysData(Id,SysValue,LastEdit) VALUES(8,'12a','2026-03-04 05:06:07') => #1
SELECT Id,SysValue,LastEdit FROM SysData ORDER BY Id => 8|12a|04.03.2026 05:06:07;9|42|06.12.2026 10:05:00
SELECT Id FROM SysData WHERE LastEdit LIKE '2026-12-06 10:05:00' AND LastEdit>'06.12.2026 09:00' => 9
UPDATE SysData SET SysValue='01.06.2026',LastEdit='31.12.2025 23:59:58' WHERE Id=9 => #1
SELECT SysValue,LastEdit FROM SysData WHERE LastEdit<'2026-01-01' => 01.06.2026|31.12.2025 23:59:58
SELECT Id FROM SysData WHERE LastEdit>='04.03.2026 05:06:07' AND LastEdit<='04.03.2026 05:06:07' => 8
UPDATE SysData SET SysValue='x' WHERE Id=99 => #0
SELECT TOP 1 Id FROM SysData ORDER BY Id DESC; => 9
select distinct top 1 LastEdit FROM SysData ORDER BY LastEdit => 31.12.2025 23:59:58
SELECT 'TOP 3',"it's",'O'+CHR(39)+'Neil','a'+chr( 13 )+''+CHAR(10)+'b',CHR(65),1+2 => TOP 3|it's|O'Neil|a\nb|A|3
SELECT ''+CHR(39)+'x'+CHR(39)+'','1+1'+CHAR(39),'say "hi"','a'||CHR(39)||'b' => 'x'|1+1'|say "hi"|a'b
SELECT Id FROM SysData WHERE SysValue='01.'+'06'+CHR(46)+'2026' => 9
SELECT Format('06.12.2026','yymmddhhnnss'),Format('06.12.2026 10:05','yymmddhhnnss'),Format('2026-12-06T10:05:07.250','yymmddhhnnss'),Format('06.12.2026 10:05:07','yymmddhhnnss') => 261206000000|261206100500|261206100507|261206100507
SELECT Format('6.12.2026','y'),Format('2026-13-01','y'),Format('06.12.2026 25:00','y'),Format('06.12.2026x','y'),Format('2026-12-06 10','y') => 6.12.2026|2026-13-01|06.12.2026 25:00|06.12.2026x|2026-12-06 10
SELECT Format(LastEdit,'dd.mm.yyyy hh:nn:ss'),Format(LastEdit,'d.m.yy'),Format(LastEdit,'hh:mm'),Format(LastEdit,'HH:MM') FROM SysData WHERE Id=8 => 04.03.2026 05:06:07|4.3.26|05:06|05:06
INSERT INTO SysData(Id,SysValue) VALUES(10,"Foto") => #1
SELECT Id FROM SysData WHERE SysValue='FOTO' AND SysValue LIKE 'fo%' => 10
INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,FeldBlob) VALUES(1,1,50,'0x12',NOW(),0x00FF7) => #1
SELECT FeldValue,FeldBlob,length(Created),Format(Created,'yyyy')>'2025' FROM MBlob => 0x12|0\n15\n247|19|1
INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created) VALUES(2,1,50,'0X12',1) => !!UNIQUE constraint failed: MBlob.AuftragId, MBlob.FeldId, MBlob.FeldValue
INSERT INTO SysData(SysValue) VALUES('x') => !!NOT NULL constraint failed: SysData.Id
SELECT COUNT(*) FROM Nowhere => !no such table: Nowhere
UPDATE SysData SET SysValue='IMG_'; DELETE FROM MBlob; --' WHERE Id=10 => !Syntax error: comment in SQL statement.
UPDATE SysData SET SysValue='IMG_'; DELETE FROM MBlob WHERE Id=10 => !Characters found after end of SQL statement.
UPDATE SysData SET SysValue='DSC' --' WHERE Id=10 => !Syntax error: comment in SQL statement.
UPDATE SysData SET SysValue='X' /* x */ WHERE Id=10 => !Syntax error: comment in SQL statement.
UPDATE SysData SET SysValue='X' WHERE Id=10 /* => !Syntax error: comment in SQL statement.
SELECT 1;; => !Characters found after end of SQL statement.
SELECT SysValue,(SELECT COUNT(*) FROM MBlob) FROM SysData WHERE Id=10 => Foto|1
UPDATE SysData SET SysValue='a--b/*c*/;d' WHERE Id=10; \n => #1
UPDATE SysData SET SysValue="e--f" WHERE Id=10-1+1 AND 1=1- -0 => #1
SELECT SysValue,(SELECT COUNT(*) FROM MBlob) FROM SysData WHERE Id=10 => e--f|1
create table [My T] (a INT,b BIT,c CHAR(1),d MEMO,e FLOAT,f SMALLDATETIME,g WHATEVER,h SMALLINT,i IMAGE,j VARCHAR(9),k datetime) => #0
INSERT INTO [My T] VALUES(1,1,'c','d',1.5,'06.12.2026',NULL,2,0x01,'j','x') => #1
SELECT COUNT(*),MAX(e),MAX(c) FROM [My T] WHERE c='C' AND d='D' => 1|1.5|c
TYPES SELECT *,COUNT(*),MAX(e),MAX(g) FROM [My T] => 3n|11s|130c|203c|5n|7d|202c|2n|205s|202c|7d|3n|5n|202c
CREATE TABLE U (V VARCHAR(20) CONSTRAINT uv UNIQUE) => #0
INSERT INTO U VALUES('äpfel'),('Müller'),('Straße'),('ß'),('Élan'),('ØRSTED'),('e') => #7
SELECT COUNT(*) FROM U WHERE V IN ('ÄPFEL','müller','STRASSE','ẞ','éLAN','ørsted') => 6
SELECT COUNT(*) FROM U WHERE V LIKE 'ÄPFEL' OR V LIKE 'müller' OR V LIKE 'STRASSE' OR V LIKE 'ẞ' OR V LIKE 'éLAN' OR V LIKE 'ørsted' => 6
SELECT COUNT(*) FROM U WHERE V IN ('Muller','Strase','é') OR V LIKE 'Muller' OR V LIKE 'Strase' OR V LIKE 'é' => 0
INSERT INTO U VALUES('ÄPFEL') => !!UNIQUE constraint failed: U.V
INSERT INTO U VALUES('Muller'),('Strase'),('é'),('ÉTAGE'),('éclair'),('Émile'),('Über-Maß'),('über_all') => #8
SELECT V FROM U WHERE V LIKE 'é%' ORDER BY V => é;éclair;Élan;Émile;ÉTAGE
SELECT V FROM U WHERE V LIKE 'ÜBER_MA%' => Über-Maß
SELECT V FROM U WHERE V LIKE 'ÜBER!_%' ESCAPE '!' => über_all
SELECT CHR(228)||CHR(128)||CHR(150)||CHR(65),'Gr'+CHR(252)+'n' => ä€–A|Grün
SELECT 'a'+CHR(255)+'b',CHR(256)||CHR(0)||'x',length('a'+CHR(1)+'b') => aÿb|x|3
SELECT Format('2026-01-01 00:00:00','yymmddhhnnss'),Format('31.12.2026 23:59:59','yymmddhhnnss') => 260101000000|261231235959
SELECT Format('2026-00-01','y'),Format('2026-01-00','y'),Format('2026-01-01 24:00','y'),Format('2026-01-01 23:60','y'),Format('2026-01-01 23:59:60','y') => 2026-00-01|2026-01-00|2026-01-01 24:00|2026-01-01 23:60|2026-01-01 23:59:60
XML0 SELECT Id,SysValue||'ß' AS V FROM SysData WHERE 0=0 AND Id<10 ORDER BY Id => <?xml version="1.0" standalone="yes"?>\n<table>\n<record><Id>8</Id><V>12aß</V></record>\n<record><Id>9</Id><V>01.06.2026ß</V></record>\n</table>\n
XML1 SELECT Id FROM SysData WHERE Id<10 ORDER BY Id DESC => <?xml version="1.0" standalone="yes"?>\n<table>\n<record_1><Id>9</Id></record_1>\n<record_2><Id>8</Id></record_2>\n</table>\n
XML0 SELECT Id FROM Nowhere => <?xml version="1.0" standalone="yes"?>\n<table>\n<record><SQL-Fehlermeldung>no such table: Nowhere</SQL-Fehlermeldung></record>\n</table>\n
XML1 UPDATE SysData SET SysValue=SysValue WHERE Id>=9 => <?xml version="1.0" standalone="yes"?>\n<table>\n<record_1><Meldung>Anzahl der betroffenden Datensätze: 2</Meldung></record_1>\n</table>\n
UPDATE SysData SET SysValue='wie?''s' WHERE Id=10 => #1
SELECT Id,SysValue FROM SysData WHERE Id>=9 OR SysValue='12a' ORDER BY 2 DESC => 10|wie?'s;8|12a;9|01.06.2026
SELECT COUNT(*) FROM SysData WHERE Id<9999999999999999999 AND Id>=000000000000000009 => 2
CREATE TABLE W (a INT) => #0
INSERT INTO W(a) VALUES(1) => #1
DROP TABLE W => #0
CREATE TABLE W (b INT,a VARCHAR(5)) => #0
INSERT INTO W(a) VALUES(2) => #1
SELECT b,a FROM W WHERE a='2' => |2)";

// A plain SQLite connection to file, after sql ran on it.
sqlite3* Plain(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK) << file;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    return db;
}

TEST_F(DbEngine, StatementsTakeEffectOrFailWithTheProvidersMessageAndRecordSetsRead) {
    std::istringstream steps(Steps);
    for (std::string line; std::getline(steps, line);) {
        const size_t arrow = line.find(" => ");
        EXPECT_EQ(Run(Crlf(line.substr(0, arrow))), Crlf(line.substr(arrow + 4))) << line;
    }
    // Record sets read by position.
    ASSERT_TRUE(s.Update("SysData", "SysValue='  42 '", "Id=9"));
    EXPECT_EQ(RowCount(s.RecordSet), -1) << "an action statement gives a closed record set";
    TRecordSet rs;
    ASSERT_TRUE(s.Select("Id", "SysData", "Id=77", "", rs));
    EXPECT_TRUE(HasRecordSet(rs) && RowCount(rs) == 0 && IsBOF(rs) && IsEOF(rs));
    ASSERT_TRUE(s.Select("Id,SysValue,LastEdit", "SysData", "Id<10", "Id", rs));
    EXPECT_EQ(FieldName(rs, 4), "Item cannot be found in the collection corresponding to the "
                                "requested name or ordinal.");
    const int ints[][3] = {{1, 1, 8}, {2, 2, 42}, {2, 3, 0}, {1, 2, 0},
                           {0, 1, 8}, {3, 1, 0},  {1, 9, 0}};
    for (const auto& f : ints) // "12a" is no integer, row 0 keeps the row, then beyond the ends
        EXPECT_EQ(FieldInt(rs, f[0], f[1]), f[2]) << f[0] << "," << f[1];
    MoveToRow(rs, 2); // browsing (MoveNext, MovePrior) is tested with the photo dialog
    EXPECT_EQ(FieldText(rs, 1, 1) + FieldText(TRecordSet(), 1, 1), "8") << "positions anew";
    EXPECT_EQ(FieldInt(TRecordSet(), 1, 1) + FieldType(TRecordSet(), 1, 1), 0);
    int32_t n = 0;
    std::string text;
    s.LookupValue("SysData", "Id", "8", "SysValue", n, text);
    EXPECT_EQ(std::to_string(n) + text, "112a");
    s.LookupValue("Nowhere", "Id", "8", "SysValue", n, text);
    EXPECT_EQ(std::to_string(n) + text + s.LastError, "-1no such table: Nowhere");
    EXPECT_FALSE(s.RecordSet);
}

TEST_F(DbEngine, ConnectOpensOnlyDatabaseFilesAtTheWholePath) {
    EXPECT_EQ(s.ServerLanguage + "|" + s.ServerVersion.substr(0, 12), "deutsch|ADO-Version ");
    fs::create_directory(folder.File("Kunde;Nord"));
    const std::string other = folder.File("Kunde;Nord/x.mdb"), jet("\0\1\0\0Standard Jet DB", 19);
    const std::string unknown = "Unrecognized database format '" + other + "'.";
    const std::pair<std::optional<std::string>, std::string> files[] = {
        {std::nullopt, "Could not find file '" + other + "'."},
        {"", unknown},
        {"just some text, no database", unknown},
        {"SQLite format 3", unknown}, // one byte short of the signature
        {jet, "The file '" + other +
                  "' is a Microsoft Access (Jet/ACE) database; this provider "
                  "opens SQLite 3 database files only."}};
    TSQLADOServer t;
    t.SetServerType(Jet);
    t.DataSource = other;
    for (const auto& [content, message] : files) {
        if (content)
            std::ofstream(other, std::ios::binary) << *content;
        EXPECT_EQ(t.Connect() || t.Connected ? "open" : t.LastError, message);
        EXPECT_EQ(fs::exists(other), content.has_value()) << "Connect never creates a file";
        fs::remove(other);
    }
    ASSERT_TRUE(t.CreateDatabase()) << t.LastError;
    t.SQL = "x";
    ASSERT_TRUE(t.Connect() && t.SQL.empty()) << "Connect runs no statement: " << t.LastError;
    EXPECT_TRUE(t.ExecSQL("CREATE TABLE T (a INT)") && t.Insert("T", "a", "1"));
    EXPECT_FALSE(fs::exists(folder.File("Kunde"))) << "the path was cut at the semicolon";
    EXPECT_EQ(t.CreateDatabase() ? "made" : t.LastError, "Database already exists.");
    EXPECT_TRUE(t.Disconnect() && !t.Connected && t.Connect() && t.CountRows("T", "") == 1);
    // One object reconnected to another file learns that file's date columns.
    ASSERT_TRUE(t.ExecSQL("CREATE TABLE D (Created VARCHAR(20))") &&
                s.ExecSQL("CREATE TABLE D (Created SMALLDATETIME)"));
    for (const auto& [file, iso] :
         {std::pair{other, "0"}, std::pair{path, "1"}, std::pair{other, "0"}}) {
        s.DataSource = file;
        ASSERT_TRUE(s.Connect() && s.Insert("D", "Created", "'06.12.2026 10:05'")) << s.LastError;
        EXPECT_EQ(Run("SELECT COUNT(*) FROM D WHERE Created LIKE '2026-12-06 10:05:00'"), iso);
    }
    // Plain SQLite folds ASCII letters only: opening its file re-sorts the NOCASE indexes, or
    // refuses the file when its unique index now meets equal values.
    for (const auto& [values, result] :
         {std::pair{"('Éb'),('éa'),('ÉC')", "ok1"},
          std::pair{"('Ä'),('ä')", "': UNIQUE constraint failed: U.V"}}) {
        s.DataSource = folder.File(values);
        sqlite3_close(Plain(s.DataSource, "CREATE TABLE U (V VARCHAR(9) COLLATE NOCASE UNIQUE);"
                                          "INSERT INTO U VALUES " +
                                              std::string(values)));
        const std::string got =
            s.Connect() ? Run("PRAGMA integrity_check") + Run("SELECT COUNT(*) FROM U WHERE V='ÉA'")
                        : s.LastError;
        EXPECT_TRUE(got.ends_with(result)) << got;
    }
    t.DataSource = folder.File("missing/x.mdb");
    EXPECT_TRUE(!t.CreateDatabase() &&
                t.LastError.starts_with("Could not create database '" + t.DataSource + "': "));
    t.SetServerType(SqlServer);
    t.LastError.clear();
    EXPECT_EQ(t.CreateDatabase() ? "made" : t.LastError, "") << "other kinds create nothing";
    EXPECT_EQ(t.Connect() ? "open" : t.LastError,
              "Provider 'SQLOLEDB' is not available: this system provides only "
              "Microsoft.Jet.OLEDB.4.0 (SQLite 3 database files).");
}

TEST_F(DbEngine, LongBinaryValuesAndTransactionsFailWhole) {
    int id = 0;
    for (size_t size : {size_t{0}, size_t{1}, size_t{100}, size_t{1000000}}) {
        const std::string where = "Id=" + std::to_string(++id);
        ASSERT_TRUE(s.Insert("MBlob", "Id,FeldValue,Created", std::to_string(id) + ",'f',1"));
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>((i * 131 + size) % 256);
        ASSERT_TRUE(s.WriteBlob("MBlob", "FeldBlob", where, TMemoryStream(bytes)) &&
                    s.RecordsAffected() == 1);
        TMemoryStream back;
        back.WriteString("pre");
        ASSERT_TRUE(s.ReadBlob("MBlob", "FeldBlob", where, back) && !s.RecordSet) << s.LastError;
        EXPECT_EQ(back.AsString(), "pre" + std::string(bytes.begin(), bytes.end())) << size;
    }
    TMemoryStream none;
    EXPECT_TRUE(s.ReadBlob("MBlob", "FeldBlob", "Id=999", none) && none.Size() == 0 &&
                !s.ReadBlob("Nowhere", "FeldBlob", "Id=1", none));
    EXPECT_EQ(s.WriteBlob("Nowhere", "FeldBlob", "Id=1", TMemoryStream({1})) ? "" : s.LastError,
              "no such table: Nowhere");
    // SqlServer statements cannot run here: the first chunk fails, the rollback keeps its message.
    s.ServerType = SqlServer;
    s.ScriptMode = 2;
    EXPECT_FALSE(
        s.WriteBlob("MBlob", "FeldBlob", "Id=2", TMemoryStream(std::vector<uint8_t>(9000))));
    EXPECT_EQ(s.SQL.substr(0, 12) + s.LastError, "DECLARE @Txtnear \"DECLARE\": syntax error");
    EXPECT_TRUE(s.Script.AsString().ends_with("0000\r\nROLLBACK TRANSACTION\r\n")) << "no go";
    s.ServerType = Jet;
    EXPECT_EQ(Run("SELECT FeldBlob FROM MBlob WHERE Id=2"), "1") << "the null update undone";
    s.ScriptMode = 0;
    ASSERT_TRUE(s.BeginTransaction() && !s.BeginTransaction()) << "no nesting";
    ASSERT_TRUE(s.Rollback());
    s.LastError = "kept";
    s.Failed = false;
    EXPECT_FALSE(s.Commit()) << "no transaction is open";
    EXPECT_TRUE(s.LastError == "kept" && !s.Failed) << "method forms swallow their errors";
}

TEST_F(DbEngine, WriteWaitsForAnotherConnectionsLockThenFails) {
    for (const int holdMs : {300, 4000}) {
        sqlite3* other = Plain(path, "BEGIN EXCLUSIVE");
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        });
        const auto start = std::chrono::steady_clock::now();
        const std::string result = Run("INSERT INTO SysData(Id) VALUES(1)");
        const auto waited = std::chrono::steady_clock::now() - start;
        release.join();
        sqlite3_close(other);
        EXPECT_EQ(result, holdMs < 1000 ? "#1" : "!database is locked"); // no row refused
        EXPECT_GE(waited, std::chrono::milliseconds(std::min(holdMs, 2000))) << holdMs;
    }
}

} // namespace
} // namespace orvendal
