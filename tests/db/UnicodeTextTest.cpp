// Jet's text rules beyond ASCII on real files: every letter compares case-insensitively in =,
// LIKE, ORDER BY and unique constraints, files built by plain SQLite are re-sorted on opening,
// and CHR(n) is the Windows-1252 character.

#include "common/TempFolder.h"
#include "db/SQLADO.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace orvendal::testing {
namespace {

class UnicodeText : public ::testing::Test {
protected:
    void SetUp() override {
        db_.SetServerType(Jet);
        db_.DataSource = folder_.Path() + "mobil.mdb";
        ASSERT_TRUE(db_.CreateDatabase() && db_.Connect()) << db_.LastError;
        for (const char* statement :
             {"CREATE TABLE MBlob (Id INT NOT NULL CONSTRAINT pk_Blob_Id PRIMARY KEY,AuftragId "
              "INT NOT NULL,FeldId INT NOT NULL,FeldValue VARCHAR(255),Status CHAR(1),Created "
              "SMALLDATETIME NOT NULL,Creator SMALLINT NOT NULL,CONSTRAINT u_Data UNIQUE "
              "(AuftragId,FeldId,FeldValue))",
              "CREATE TABLE SysData (Id SMALLINT NOT NULL PRIMARY KEY,SysValue VARCHAR(255))"})
            ASSERT_TRUE(db_.ExecSQL(statement)) << db_.LastError;
    }
    bool Blob(int id, const std::string& value) {
        return db_.Insert("MBlob", "Id,AuftragId,FeldId,FeldValue,Status,Created,Creator",
                          std::to_string(id) + ",1,50,'" + value + "','0','06.12.2026',1");
    }
    std::vector<std::string> Column(const std::string& sql) {
        db_.SQL = sql;
        TRecordSet rs;
        std::vector<std::string> values;
        EXPECT_TRUE(db_.Execute(rs)) << sql << ": " << db_.LastError;
        for (int32_t r = 1; r <= RowCount(rs); ++r)
            values.push_back(FieldText(rs, r, 1));
        return values;
    }
    TTempFolder folder_;
    TSQLADOServer db_;
};

TEST_F(UnicodeText, EqualLikeAndUniqueIgnoreCaseOfEveryLetter) {
    const struct {
        const char* Stored;
        const char* Asked;
        bool Same;
    } cases[] = {
        {"äpfel", "ÄPFEL", true},    {"Müller", "müller", true},
        {"Straße", "STRASSE", true}, {"ß", "ẞ", true},
        {"Élan", "éLAN", true},      {"ØRSTED", "ørsted", true},
        {"Müller", "Muller", false}, {"Straße", "Strase", false},
        {"e", "é", false},
    };
    int id = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Stored) + " / " + c.Asked);
        ASSERT_TRUE(db_.Delete("MBlob", ""));
        ASSERT_TRUE(Blob(++id, c.Stored)) << db_.LastError;
        EXPECT_EQ(db_.CountRows("MBlob", "FeldValue='" + std::string(c.Asked) + "'"),
                  c.Same ? 1 : 0);
        EXPECT_EQ(db_.CountRows("MBlob", "FeldValue LIKE '" + std::string(c.Asked) + "'"),
                  c.Same ? 1 : 0);
        EXPECT_EQ(Blob(++id, c.Asked), !c.Same) << "u_Data";
        if (c.Same) {
            EXPECT_NE(db_.LastError.find("UNIQUE constraint failed"), std::string::npos);
        }
    }
}

TEST_F(UnicodeText, LikeWildcardsAndOrderFoldCase) {
    int id = 0;
    for (const char* value : {"ÉTAGE", "éclair", "Émile", "Über-Maß", "über_all"})
        ASSERT_TRUE(Blob(++id, value)) << db_.LastError;
    EXPECT_EQ(Column("SELECT FeldValue FROM MBlob WHERE FeldValue LIKE 'é%' ORDER BY FeldValue"),
              (std::vector<std::string>{"éclair", "Émile", "ÉTAGE"}));
    EXPECT_EQ(Column("SELECT FeldValue FROM MBlob WHERE FeldValue LIKE 'ÜBER_MA%'"),
              (std::vector<std::string>{"Über-Maß"}));
    EXPECT_EQ(Column("SELECT FeldValue FROM MBlob WHERE FeldValue LIKE 'ÜBER!_%' ESCAPE '!'"),
              (std::vector<std::string>{"über_all"}));
}

TEST_F(UnicodeText, ChrIsTheWindows1252Character) {
    EXPECT_EQ(Column("SELECT CHR(228)||CHR(128)||CHR(150)||CHR(65)"),
              (std::vector<std::string>{"ä€–A"}));
    ASSERT_TRUE(db_.ExecSQL("INSERT INTO SysData (Id,SysValue) VALUES (1,'Gr'+CHR(252)+'n')"))
        << db_.LastError;
    EXPECT_EQ(Column("SELECT SysValue FROM SysData"), (std::vector<std::string>{"Grün"}));
}

// Plain SQLite folds ASCII letters only: its NOCASE indexes are sorted otherwise, so opening
// such a file rebuilds them, or refuses it when its unique index now meets equal values.
TEST_F(UnicodeText, FilesBuiltByPlainSqliteAreReindexedOnOpening) {
    const struct {
        const char* Name;
        const char* Values;
        bool Opens;
    } cases[] = {{"sorted", "('Éb'),('éa'),('ÉC')", true}, {"duplicates", "('Ä'),('ä')", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = folder_.Path() + c.Name + ".mdb";
        sqlite3* plain = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &plain), SQLITE_OK);
        const std::string sql =
            "CREATE TABLE T (V VARCHAR(9) COLLATE NOCASE UNIQUE); INSERT INTO T VALUES " +
            std::string(c.Values);
        ASSERT_EQ(sqlite3_exec(plain, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(plain);
        TSQLADOServer file;
        file.SetServerType(Jet);
        file.DataSource = path;
        ASSERT_EQ(file.Connect(), c.Opens) << file.LastError;
        if (!c.Opens) {
            EXPECT_NE(file.LastError.find("UNIQUE constraint failed"), std::string::npos)
                << file.LastError;
            continue;
        }
        file.SQL = "PRAGMA integrity_check";
        TRecordSet rs;
        ASSERT_TRUE(file.Execute(rs)) << file.LastError;
        EXPECT_EQ(FieldText(rs, 1, 1), "ok");
        EXPECT_EQ(file.CountRows("T", "V='ÉA'"), 1);
    }
}

} // namespace
} // namespace orvendal::testing
