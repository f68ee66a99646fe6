// TSQLADOServer on real SQLite files through the Jet adapter: creating and opening databases,
// the schema statements, record-set accessors, long binary values and the Jet SQL forms.
#include "db/SQLADO.h"

#include "common/TempFolder.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace orvendal {
namespace {

namespace fs = std::filesystem;

const char* const schema[] = {
    "CREATE TABLE MBlob (Id INT NOT NULL CONSTRAINT pk_Blob_Id PRIMARY KEY,AuftragId INT NOT "
    "NULL,FeldId INT NOT NULL,FeldValue VARCHAR(255),Status CHAR(1),FeldBlob IMAGE,Created "
    "SMALLDATETIME NOT NULL,Creator SMALLINT NOT NULL,CONSTRAINT u_Data UNIQUE "
    "(AuftragId,FeldId,FeldValue))",
    "CREATE TABLE SysData (Id SMALLINT NOT NULL CONSTRAINT pk_Dev_Id PRIMARY KEY,SysValue "
    "VARCHAR(255),LastEdit SMALLDATETIME)",
    "CREATE TABLE MAuftrag (AuftragId INT NOT NULL CONSTRAINT pk_Auftrag_Id PRIMARY KEY,Project "
    "SMALLINT NOT NULL,MobilApp SMALLINT NOT NULL,AuftragBez VARCHAR(255) NOT NULL,Status CHAR(1) "
    "NOT NULL,Termin SMALLDATETIME,Route VARCHAR(25))",
    "CREATE TABLE MValues (Id INT NOT NULL CONSTRAINT pk_val_Id PRIMARY KEY,Class SMALLINT NOT "
    "NULL,MValue VARCHAR(255) NOT NULL,Bezeichnung VARCHAR(100) NOT NULL,Reihe SMALLINT NOT NULL)",
};

class DbEngine : public ::testing::Test {
protected:
    void SetUp() override { path = (dir / "mobil.mdb").string(); }

    // Creates "mobil.mdb" with the four tables and opens it.
    void Open(TSQLADOServer& s) {
        s.SetServerType(Jet);
        s.DataSource = path;
        ASSERT_TRUE(s.CreateDatabase()) << s.LastError;
        ASSERT_TRUE(s.Connect()) << s.LastError;
        for (const char* statement : schema)
            ASSERT_TRUE(s.ExecSQL(statement)) << statement << ": " << s.LastError;
    }
    bool Blob(TSQLADOServer& s, int id, int feld, const std::string& value) {
        return s.Insert("MBlob", "Id,AuftragId,FeldId,FeldValue,Status,Created,Creator",
                        std::to_string(id) + ",1," + std::to_string(feld) + "," + value +
                            ",'0','06.12.2026 10:05',1");
    }

    testing::TTempFolder folder_;
    fs::path dir = folder_.Path();
    std::string path;
};

TEST_F(DbEngine, CreateAndReopenMobil) {
    {
        TSQLADOServer s;
        Open(s);
        EXPECT_EQ(s.ServerLanguage, "deutsch");
        EXPECT_EQ(s.ServerVersion.rfind("ADO-Version ", 0), 0u);
        EXPECT_GT(s.ServerVersion.size(), 12u);
        ASSERT_TRUE(s.Insert("SysData", "Id,SysValue", "8,'Fotos'"));
        EXPECT_EQ(s.RecordsAffected(), 1);
    } // destroying a connected object closes it
    TSQLADOServer s;
    s.SetServerType(Jet);
    s.DataSource = path;
    ASSERT_TRUE(s.Connect()) << s.LastError;
    EXPECT_EQ(s.SQL, "") << "Connect runs no statement on Jet";
    for (const char* table : {"MBlob", "SysData", "MAuftrag", "MValues"})
        EXPECT_EQ(s.CountRows(table, ""), std::string(table) == "SysData" ? 1 : 0) << table;
    EXPECT_EQ(s.SQL, "SELECT COUNT(*) FROM MValues");
    EXPECT_FALSE(s.CreateDatabase()) << "the file exists";
    EXPECT_EQ(s.LastError, "Database already exists.");
    EXPECT_TRUE(s.Disconnect());
    EXPECT_FALSE(s.Connected);
}

TEST_F(DbEngine, OpenAndCreateFailures) {
    TSQLADOServer s;
    s.SetServerType(Jet);
    s.DataSource = path;
    EXPECT_FALSE(s.Connect());
    EXPECT_FALSE(s.Connected);
    EXPECT_EQ(s.LastError, "Could not find file '" + path + "'.");
    EXPECT_FALSE(fs::exists(path)) << "Connect never creates a file";

    std::ofstream(path, std::ios::binary) << std::string("\0\1\0\0Standard Jet DB\0", 20);
    EXPECT_FALSE(s.Connect());
    EXPECT_NE(s.LastError.find("Microsoft Access (Jet/ACE) database"), std::string::npos)
        << s.LastError;
    std::ofstream(path, std::ios::binary) << "just some text, no database";
    EXPECT_FALSE(s.Connect());
    EXPECT_EQ(s.LastError, "Unrecognized database format '" + path + "'.");

    TSQLADOServer other;
    other.SetServerType(SqlServer);
    other.DataSource = path;
    EXPECT_FALSE(other.CreateDatabase());
    EXPECT_EQ(other.LastError, "") << "other kinds create nothing and record nothing";
    EXPECT_FALSE(other.Connect());
    EXPECT_EQ(other.LastError, "Provider 'SQLOLEDB' is not available: this system provides only "
                               "Microsoft.Jet.OLEDB.4.0 (SQLite 3 database files).");

    TSQLADOServer none;
    none.SetServerType(Jet);
    none.DataSource = (dir / "missing" / "x.mdb").string();
    EXPECT_FALSE(none.CreateDatabase());
    EXPECT_NE(none.LastError.find("Could not create database"), std::string::npos)
        << none.LastError;
}

TEST_F(DbEngine, ConstraintsAndProviderMessages) {
    TSQLADOServer s;
    Open(s);
    ASSERT_TRUE(Blob(s, 1, 50, "'a.jpg'"));
    EXPECT_FALSE(Blob(s, 2, 50, "'a.jpg'"))
        << "u_Data rejects the same AuftragId, FeldId, FeldValue";
    EXPECT_TRUE(s.Failed);
    EXPECT_TRUE(s.Refused);
    EXPECT_NE(s.LastError.find("UNIQUE"), std::string::npos) << s.LastError;
    EXPECT_FALSE(Blob(s, 3, 50, "'A.JPG'")) << "text compares case-insensitively, as Jet does";
    EXPECT_FALSE(Blob(s, 1, 51, "'b.jpg'")) << "pk_Blob_Id";
    EXPECT_EQ(s.CountRows("Nowhere", ""), -1);
    EXPECT_EQ(s.LastError, "no such table: Nowhere");
    EXPECT_FALSE(s.Refused);
    EXPECT_EQ(s.SQL, "SELECT COUNT(*) FROM Nowhere");
    EXPECT_TRUE(s.CountRows("MBlob", "") == 1 && !s.Failed)
        << "a statement that works clears Failed";
}

TEST_F(DbEngine, RecordSetAccessors) {
    TSQLADOServer s;
    Open(s);
    ASSERT_TRUE(s.Insert("SysData", "Id,SysValue,LastEdit", "8,'12a','2026-12-06 08:07:09'"));
    ASSERT_TRUE(s.Insert("SysData", "Id,SysValue", "9,'  42 '"));
    ASSERT_TRUE(s.Update("SysData", "SysValue='x'", "Id=99"));
    EXPECT_FALSE(HasRecordSet(s.RecordSet)) << "an action statement gives a closed record set";
    EXPECT_EQ(RowCount(s.RecordSet), -1);
    EXPECT_EQ(s.RecordsAffected(), 0);
    TRecordSet empty;
    ASSERT_TRUE(s.Select("Id", "SysData", "Id=77", "", empty));
    EXPECT_TRUE(HasRecordSet(empty));
    EXPECT_EQ(RowCount(empty), 0);
    EXPECT_TRUE(IsBOF(empty) && IsEOF(empty));
    EXPECT_EQ(FieldText(empty, 1, 1), "");

    TRecordSet rs;
    ASSERT_TRUE(s.Select("Id,SysValue,LastEdit", "SysData", "", "Id", rs));
    EXPECT_EQ(RowCount(rs), 2);
    EXPECT_EQ(FieldCount(rs), 3);
    EXPECT_EQ(FieldName(rs, 2), "SysValue");
    EXPECT_EQ(
        FieldName(rs, 4),
        "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    EXPECT_EQ(FieldInt(rs, 1, 2), 0) << "12a is no integer";
    EXPECT_EQ(FieldInt(rs, 2, 2), 42);
    EXPECT_EQ(FieldText(rs, 2, 2), "42") << "trimmed";
    EXPECT_EQ(FieldText(rs, 1, 9), "") << "column 9 of 3";
    EXPECT_EQ(FieldText(rs, 3, 1), "") << "row beyond the end";
    EXPECT_EQ(FieldText(rs, 2, 3), "") << "NULL";
    EXPECT_EQ(FieldText(rs, 1, 3), "06.12.2026 08:07:09");
    struct {
        int col, type;
        const char* letter;
    } const types[] = {{1, 2, "n"}, {2, 202, "c"}, {3, 7, "d"}, {4, 0, "c"}};
    for (const auto& t : types) {
        EXPECT_EQ(FieldType(rs, 1, t.col), t.type) << t.col;
        EXPECT_EQ(FieldTypeLetter(rs, 0, t.col), t.letter) << t.col;
    }
    // navigation
    MoveToRow(rs, 2);
    EXPECT_EQ(CurrentRow(rs), 2);
    MoveNext(rs);
    EXPECT_TRUE(IsEOF(rs));
    EXPECT_EQ(CurrentRow(rs), 0);
    MovePrior(rs);
    MovePrior(rs);
    EXPECT_EQ(CurrentRow(rs), 1);
    MovePrior(rs);
    EXPECT_TRUE(IsBOF(rs));
    EXPECT_EQ(FieldText(rs, 1, 1), "8") << "FieldText positions from the first row";
    EXPECT_EQ(FieldText(TRecordSet(), 1, 1), "");
    EXPECT_EQ(FieldInt(TRecordSet(), 1, 1), 0);
    EXPECT_EQ(FieldType(TRecordSet(), 1, 1), 0);

    TRecordSet count;
    ASSERT_TRUE(s.Select("COUNT(*)", "SysData", "", "", count));
    EXPECT_EQ(FieldType(count, 1, 1), 3);
    int32_t n = 0;
    std::string text;
    s.LookupValue("SysData", "Id", "8", "SysValue", n, text);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(text, "12a");
    s.LookupValue("Nowhere", "Id", "8", "SysValue", n, text);
    EXPECT_EQ(n, -1);
    EXPECT_FALSE(s.RecordSet);
}

TEST_F(DbEngine, BlobsRoundTrip) {
    TSQLADOServer s;
    Open(s);
    const size_t sizes[] = {0, 1, 100, 1000000};
    int id = 1;
    for (size_t size : sizes) {
        ASSERT_TRUE(Blob(s, id, 49 + id, "'f'"));
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>((i * 131 + size) % 256);
        const TMemoryStream value(bytes);
        const std::string where = "Id=" + std::to_string(id);
        ASSERT_TRUE(s.WriteBlob("MBlob", "FeldBlob", where, value)) << s.LastError;
        EXPECT_EQ(s.RecordsAffected(), 1);
        TMemoryStream back;
        back.WriteString("pre");
        ASSERT_TRUE(s.ReadBlob("MBlob", "FeldBlob", where, back)) << s.LastError;
        std::vector<uint8_t> expected = {'p', 'r', 'e'};
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        EXPECT_TRUE(back.Bytes() == expected) << size << " bytes read back differently";
        EXPECT_FALSE(s.RecordSet);
        ++id;
    }
    TMemoryStream none;
    EXPECT_TRUE(s.ReadBlob("MBlob", "FeldBlob", "Id=999", none));
    EXPECT_EQ(none.Size(), 0u);
    EXPECT_FALSE(s.ReadBlob("Nowhere", "FeldBlob", "Id=1", none));
    EXPECT_FALSE(
        s.WriteBlob("Nowhere", "FeldBlob", "Id=1", TMemoryStream(std::vector<uint8_t>{1})));
    EXPECT_EQ(s.LastError, "no such table: Nowhere");
    // Binary values read as text: the bytes' decimal values, CR LF between them.
    ASSERT_TRUE(
        s.WriteBlob("MBlob", "FeldBlob", "Id=1", TMemoryStream(std::vector<uint8_t>{0, 7, 255})));
    TRecordSet rs;
    ASSERT_TRUE(s.Select("FeldBlob", "MBlob", "Id=1", "", rs));
    EXPECT_EQ(FieldText(rs, 1, 1), "0\r\n7\r\n255");
    EXPECT_EQ(FieldTypeLetter(rs, 1, 1), "s");
}

TEST_F(DbEngine, SqlServerBlobFailureKeepsFailingStatement) {
    // SqlServer dialect over the SQLite file: the text pointer statements cannot run, so the
    // first chunk fails; the rollback must not hide its message or text.
    TSQLADOServer s;
    Open(s);
    ASSERT_TRUE(Blob(s, 5, 50, "'f'"));
    ASSERT_TRUE(
        s.WriteBlob("MBlob", "FeldBlob", "Id=5", TMemoryStream(std::vector<uint8_t>{9, 9})));
    s.ServerType = SqlServer;
    s.ScriptMode = 2;
    std::vector<uint8_t> bytes(20000, 0x42);
    EXPECT_FALSE(s.WriteBlob("MBlob", "FeldBlob", "Id=5", TMemoryStream(bytes)));
    EXPECT_EQ(s.SQL.rfind("DECLARE @Txt varbinary(16)\r\nSELECT @Txt=TEXTPTR(FeldBlob) FROM MBlob "
                          "WHERE Id=5\r\nUPDATETEXT MBlob.FeldBlob @Txt 0 NULL WITH LOG 0x4242",
                          0),
              0u);
    EXPECT_NE(s.LastError.find("syntax error"), std::string::npos) << s.LastError;
    const std::string script = s.Script.AsString();
    EXPECT_EQ(script.substr(script.size() - 22), "ROLLBACK TRANSACTION\r\n");
    EXPECT_EQ(script.find("go\r\n"), std::string::npos) << "no go lines in ScriptMode 2";
    s.ServerType = Jet;
    s.ScriptMode = 0;
    TMemoryStream back;
    ASSERT_TRUE(s.ReadBlob("MBlob", "FeldBlob", "Id=5", back));
    EXPECT_TRUE(back.Bytes() == std::vector<uint8_t>({9, 9}))
        << "the rollback undid the null update";
}

TEST_F(DbEngine, JetSqlForms) {
    TSQLADOServer s;
    Open(s);
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(Blob(s, i, 50 + i, "'v" + std::to_string(i) + "'"));
    ASSERT_TRUE(s.Insert("MBlob", "Id,AuftragId,FeldId,FeldValue,Status,Created,Creator",
                         "6,1,60,'iso','0','2026-01-02 03:04:05',1"));
    TRecordSet rs;
    ASSERT_TRUE(s.Select("TOP 3 Id," + DateTimeExpr("Created", Jet), "MBlob", "", "Id", rs))
        << s.LastError;
    EXPECT_EQ(RowCount(rs), 3);
    EXPECT_EQ(FieldText(rs, 3, 1), "3");
    EXPECT_EQ(FieldText(rs, 1, 2), "06.12.2026 10:05");
    ASSERT_TRUE(s.Select(DateExpr("Created", Jet) + "," + TimeExpr("Created", Jet) + ",Created",
                         "MBlob", "Id=6", "", rs))
        << s.LastError;
    EXPECT_EQ(FieldText(rs, 1, 1), "02.01.2026");
    EXPECT_EQ(FieldText(rs, 1, 2), "03:04") << "mm after hh means minutes";
    EXPECT_EQ(FieldText(rs, 1, 3), "02.01.2026 03:04:05");
    ASSERT_TRUE(s.Select("Created", "MBlob", "Created>'2026-06-01'", "", rs));
    EXPECT_EQ(RowCount(rs), 5)
        << "German date texts are stored in the ISO form, so they order and compare";
    ASSERT_TRUE(s.Update("MBlob", "Created='31.12.2025 23:59:58'", "Id=6"));
    ASSERT_TRUE(s.Select("Created", "MBlob", "Created<'2026-01-01'", "", rs));
    EXPECT_EQ(FieldText(rs, 1, 1), "31.12.2025 23:59:58");
    ASSERT_TRUE(s.Select("Id", "MBlob", "Created<'01.06.2026'", "", rs));
    EXPECT_EQ(FieldText(rs, 1, 1), "6") << "German literals compared with a date-time column";
    ASSERT_TRUE(s.Update("MBlob", "FeldValue='01.06.2026'", "Id=6"));
    ASSERT_TRUE(s.Select("FeldValue", "MBlob", "Id=6", "", rs));
    EXPECT_EQ(FieldText(rs, 1, 1), "01.06.2026")
        << "a text column keeps a date-like text as written";

    // NOW() stores the current time as a date-time
    ASSERT_TRUE(s.Update("MBlob", "Created=NOW()", "Id=1"));
    ASSERT_TRUE(s.Select("Created", "MBlob", "Id=1", "", rs));
    EXPECT_EQ(FieldText(rs, 1, 1).size(), 19u);
    EXPECT_EQ(FieldText(rs, 1, 1)[2], '.');

    // double-quoted literals and case-insensitive compares
    ASSERT_TRUE(s.Insert("SysData", "Id,SysValue", "10,\"3\""));
    EXPECT_EQ(s.CountRows("SysData", "SysValue=\"3\""), 1);
    ASSERT_TRUE(s.Insert("SysData", "Id,SysValue", "11,'Foto'"));
    EXPECT_EQ(s.CountRows("SysData", "SysValue='FOTO'"), 1);
    EXPECT_EQ(s.CountRows("SysData", "SysValue LIKE 'fo%'"), 1);
}

struct TLiteralCase {
    const char* name;
    std::string value;
};

class DbLiterals : public DbEngine,
                   public ::testing::WithParamInterface<std::tuple<TLiteralCase, uint8_t>> {};

TEST_P(DbLiterals, RoundTripInValuesWhereAndSet) {
    const auto& [c, style] = GetParam();
    TSQLADOServer s;
    Open(s);
    const std::string literal = QuoteSQLString(c.value, style);
    ASSERT_TRUE(s.Insert("MValues", "Id,Class,MValue,Bezeichnung,Reihe",
                         "1,1006," + literal + "," + literal + ",1"))
        << s.SQL << ": " << s.LastError;
    EXPECT_EQ(s.CountRows("MValues", "MValue=" + literal), 1) << s.SQL;
    TRecordSet rs;
    ASSERT_TRUE(s.Select("MValue", "MValues", "Id=1", "", rs));
    ASSERT_EQ(rs->RecordCount(), 1);
    rs->MoveFirst();
    EXPECT_EQ(rs->Value(0).Data, c.value) << "stored exactly";
    const std::string changed = c.value + "'x";
    ASSERT_TRUE(
        s.Update("MValues", "Bezeichnung=" + QuoteSQLString(changed, style), "MValue=" + literal))
        << s.SQL << ": " << s.LastError;
    EXPECT_EQ(s.RecordsAffected(), 1);
    ASSERT_TRUE(s.Select("Bezeichnung", "MValues", "Id=1", "", rs));
    rs->MoveFirst();
    EXPECT_EQ(rs->Value(0).Data, changed);
}

INSTANTIATE_TEST_SUITE_P(
    Db, DbLiterals,
    ::testing::Combine(::testing::Values(TLiteralCase{"ONeil", "O'Neil"},
                                         TLiteralCase{"CrLf", "a\r\nb"},
                                         TLiteralCase{"QuoteAtEnds", "'x'"},
                                         TLiteralCase{"Plus", "1+1"},
                                         TLiteralCase{"QuotesInside", "say \"hi\""}),
                       ::testing::Values(uint8_t{0}, uint8_t{1}, uint8_t{2}, uint8_t{3})),
    [](const auto& i) {
        return std::string(std::get<0>(i.param).name) + "Style" +
               std::to_string(std::get<1>(i.param));
    });

TEST_F(DbEngine, Transactions) {
    TSQLADOServer s;
    Open(s);
    ASSERT_TRUE(s.BeginTransaction());
    EXPECT_FALSE(s.BeginTransaction()) << "no nesting";
    ASSERT_TRUE(s.Insert("SysData", "Id", "20"));
    ASSERT_TRUE(s.Rollback());
    EXPECT_EQ(s.CountRows("SysData", ""), 0);
    ASSERT_TRUE(s.BeginTransaction());
    ASSERT_TRUE(s.Insert("SysData", "Id", "21"));
    ASSERT_TRUE(s.Commit());
    EXPECT_EQ(s.CountRows("SysData", ""), 1);
    s.LastError = "kept";
    s.Failed = false;
    EXPECT_FALSE(s.Commit()) << "no transaction is open";
    EXPECT_EQ(s.LastError, "kept") << "method forms swallow their errors";
    EXPECT_FALSE(s.Failed);
}

TEST_F(DbEngine, OneStatementPerTextAndNoComments) {
    TSQLADOServer s;
    Open(s);
    ASSERT_TRUE(Blob(s, 1, 50, "'a.jpg'"));
    ASSERT_TRUE(s.Insert("SysData", "Id,SysValue", "9,'IMG_'"));
    const std::string second = "Characters found after end of SQL statement.";
    const std::string comment = "Syntax error: comment in SQL statement.";
    struct {
        std::string sql, error, prefix; // error empty: the text runs
    } const cases[] = {
        {"UPDATE SysData SET SysValue='IMG_'; DELETE FROM MBlob; --' WHERE Id=9", comment, "IMG_"},
        {"UPDATE SysData SET SysValue='IMG_'; DELETE FROM MBlob WHERE Id=9", second, "IMG_"},
        {"UPDATE SysData SET SysValue='DSC' --' WHERE Id=9", comment, "IMG_"},
        {"UPDATE SysData SET SysValue='X' /* x */ WHERE Id=9", comment, "IMG_"},
        {"UPDATE SysData SET SysValue='X' WHERE Id=9 /*", comment, "IMG_"},
        {"SELECT 1;;", second, "IMG_"},
        {"UPDATE SysData SET SysValue='a--b/*c*/;d' WHERE Id=9; \r\n", "", "a--b/*c*/;d"},
        {"UPDATE SysData SET SysValue=\"e--f;g\" WHERE Id=9-1+1", "", "e--f;g"},
        {"UPDATE SysData SET SysValue='h' WHERE Id=9- -0", "", "h"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(s.ExecSQL(c.sql), c.error.empty()) << c.sql;
        EXPECT_EQ(s.LastError, c.error.empty() ? s.LastError : c.error) << c.sql;
        int32_t n = 0;
        std::string prefix;
        s.LookupValue("SysData", "Id", "9", "SysValue", n, prefix);
        EXPECT_EQ(prefix, c.prefix) << c.sql;
        EXPECT_EQ(s.CountRows("MBlob", ""), 1) << c.sql;
    }
}

TEST_F(DbEngine, DataSourceIsTheWholePathAndEmptyFilesAreNoDatabase) {
    fs::create_directories(dir / "Kunde;Nord");
    const std::string inner = (dir / "Kunde;Nord" / "mobil.mdb").string();
    EXPECT_EQ(TConnectionString::Parse("Provider=P;Data Source=" + inner).DataSource, inner);
    const TConnectionString swapped = TConnectionString::Parse("data source=/a;b;PROVIDER = Q");
    EXPECT_EQ(swapped.DataSource, "/a;b");
    EXPECT_EQ(swapped.Provider, " Q");
    TSQLADOServer s;
    s.SetServerType(Jet);
    s.DataSource = inner;
    ASSERT_TRUE(s.CreateDatabase()) << s.LastError;
    ASSERT_TRUE(s.Connect()) << s.LastError;
    EXPECT_TRUE(s.ExecSQL("CREATE TABLE T (a INT)")) << s.LastError;
    EXPECT_FALSE(fs::exists(dir / "Kunde")) << "the path was cut at the semicolon";
    TSQLADOServer other;
    other.SetServerType(Jet);
    other.DataSource = inner;
    ASSERT_TRUE(other.Connect()) << other.LastError;
    EXPECT_EQ(other.CountRows("T", ""), 0) << other.LastError;

    std::ofstream(path, std::ios::binary).flush();
    s.DataSource = path;
    EXPECT_FALSE(s.Connect());
    EXPECT_EQ(s.LastError, "Unrecognized database format '" + path + "'.");
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(DbEngine, ConnectForgetsTheDateColumnsOfTheFileBefore) {
    const std::string textual = (dir / "text.mdb").string();
    for (const auto& [file, type] :
         {std::pair{textual, "VARCHAR(20)"}, std::pair{path, "SMALLDATETIME"}}) {
        TSQLADOServer s;
        s.SetServerType(Jet);
        s.DataSource = file;
        ASSERT_TRUE(s.CreateDatabase() && s.Connect()) << s.LastError;
        ASSERT_TRUE(s.ExecSQL(std::string("CREATE TABLE D (Id INT, Created ") + type + ")"));
    }
    TSQLADOServer s; // one object, reconnected: the date column is learned per file
    s.SetServerType(Jet);
    for (const auto& [file, iso] :
         {std::pair{textual, 0}, std::pair{path, 1}, std::pair{textual, 0}}) {
        s.DataSource = file;
        ASSERT_TRUE(s.Connect()) << s.LastError;
        ASSERT_TRUE(s.ExecSQL("DELETE FROM D"));
        ASSERT_TRUE(s.Insert("D", "Id,Created", "1,'06.12.2026 10:05'")) << s.LastError;
        EXPECT_EQ(s.CountRows("D", "Created LIKE '2026-12-06 10:05:00'"), iso) << file;
    }
}

TEST_F(DbEngine, WriteWaitsForAnotherConnectionsLockThenFails) {
    TSQLADOServer s;
    Open(s);
    for (const int holdMs : {300, 10000}) {
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(holdMs, 4000)));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        });
        const auto start = std::chrono::steady_clock::now();
        const bool ok = s.Insert("SysData", "Id", std::to_string(holdMs));
        const auto waited = std::chrono::steady_clock::now() - start;
        release.join();
        sqlite3_close(other);
        EXPECT_EQ(ok, holdMs < 1000) << holdMs << ": " << s.LastError;
        EXPECT_GE(waited, std::chrono::milliseconds(std::min(holdMs, 2000))) << holdMs;
        EXPECT_EQ(ok ? "" : s.LastError, ok ? "" : "database is locked");
        EXPECT_FALSE(s.Refused) << "a lock is no fault of the row";
    }
}

} // namespace
} // namespace orvendal
