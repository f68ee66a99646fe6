// The statement texts that TSQLADOServer builds, byte for byte, seen through SQL and Script in
// ScriptMode 1 (written, not run) so that every dialect can be checked without its server.
#include "db/SQLADO.h"

#include <gtest/gtest.h>

#include <functional>

namespace orvendal {
namespace {

struct TScripted {
    TSQLADOServer server;
    explicit TScripted(uint8_t kind) {
        server.SetServerType(kind);
        server.ScriptMode = 1;
    }
    std::string Script() const { return server.Script.AsString(); }
};

struct TSelectCase {
    const char* name;
    uint8_t kind;
    const char *columns, *table, *where, *orderBy, *expected;
};

const TSelectCase selectCases[] = {
    {"AllColumns", Jet, "", "T", "", "", "SELECT * FROM T"},
    {"TrimmedParts", Jet, "  a ", "\tT ", " x=1\r\n", " a ",
     "SELECT a FROM T WHERE x=1 ORDER BY a"},
    {"VersionSqlServer", SqlServer, "@@version", "", "", "", "SELECT @@version"},
    {"VersionOracle", Oracle, "@@version", "", "", "", "SELECT @@version FROM dual"},
    {"TopOracle", Oracle, "TOP 3 a", "T", "", "", "SELECT a FROM T WHERE (ROWNUM<=3)"},
    {"TopJet", Jet, "TOP 3 a", "T", "", "", "SELECT TOP 3 a FROM T"},
    {"TopLowerOracleOrdered", Oracle, "top 3 a", "T", "x=1", "a",
     "SELECT * FROM (SELECT a FROM T WHERE x=1 ORDER BY a) WHERE (ROWNUM<=3)"},
    {"Top5Jet", Jet, "TOP 5 Id,Name", "T", "A=1", "", "SELECT TOP 5 Id,Name FROM T WHERE A=1"},
    {"Top5SqlServer", SqlServer, "TOP 5 Id,Name", "T", "A=1", "",
     "SELECT TOP 5 Id,Name FROM T WHERE A=1"},
    {"Top5Oracle", Oracle, "TOP 5 Id,Name", "T", "A=1", "",
     "SELECT Id,Name FROM T WHERE A=1 and (ROWNUM<=5)"},
    {"Top5OracleOrdered", Oracle, "TOP 5 Id,Name", "T", "A=1", "Id",
     "SELECT * FROM (SELECT Id,Name FROM T WHERE A=1 ORDER BY Id) WHERE (ROWNUM<=5)"},
    {"TopWithoutNumberOracle", Oracle, "TOP a", "T", "", "", "SELECT a FROM T WHERE (ROWNUM<=)"},
    {"TopglueNotALimit", Oracle, "TOPa", "T", "", "", "SELECT TOPa FROM T"},
};

class SelectText : public ::testing::TestWithParam<TSelectCase> {};

TEST_P(SelectText, BuildsStatement) {
    const auto& c = GetParam();
    TScripted s(c.kind);
    TRecordSet rs;
    EXPECT_TRUE(s.server.Select(c.columns, c.table, c.where, c.orderBy, rs));
    EXPECT_EQ(s.server.SQL, c.expected);
    EXPECT_EQ(s.Script(), std::string(c.expected) + "\r\n");
    EXPECT_FALSE(rs) << "nothing ran, so no record set";
}

INSTANTIATE_TEST_SUITE_P(Db, SelectText, ::testing::ValuesIn(selectCases),
                         [](const auto& i) { return std::string(i.param.name); });

struct TBuilderCase {
    const char* name;
    uint8_t kind;
    std::function<bool(TSQLADOServer&)> run;
    bool result;
    const char* script; // everything written to Script
};

const TBuilderCase builderCases[] = {
    {"CountRows", Jet, [](TSQLADOServer& s) { return s.CountRows("MBlob", "FeldId=0") == 0; }, true,
     "SELECT COUNT(*) FROM MBlob WHERE FeldId=0\r\n"},
    {"InsertNoColumns", Jet, [](TSQLADOServer& s) { return s.Insert("T", "", "1"); }, true,
     "INSERT INTO T\r\nVALUES(1)\r\n"},
    {"InsertColumns", Jet,
     [](TSQLADOServer& s) { return s.Insert("MValues", "Id,Class", "7,1005"); }, true,
     "INSERT INTO MValues(Id,Class)\r\nVALUES(7,1005)\r\n"},
    {"InsertEmptyValues", Jet, [](TSQLADOServer& s) { return s.Insert("T", "a", ""); }, false, ""},
    {"InsertEmptyTable", Jet, [](TSQLADOServer& s) { return s.Insert("", "a", "1"); }, false, ""},
    {"InsertSequence", Oracle,
     [](TSQLADOServer& s) {
         s.UseSequence = true;
         s.SequenceColumn = "Id";
         s.SequenceName = "SEQ";
         return s.Insert("T", "a", "'x'");
     },
     true, "INSERT INTO T(a,Id)\r\nVALUES('x',SEQ.NEXTVAL)\r\n"},
    {"InsertSequenceNoColumns", Oracle,
     [](TSQLADOServer& s) {
         s.UseSequence = true;
         s.SequenceColumn = "Id";
         s.SequenceName = "SEQ";
         return s.Insert("T", "", "1");
     },
     true, "INSERT INTO T(Id)\r\nVALUES(1,SEQ.NEXTVAL)\r\n"},
    {"InsertSequenceOnJetIgnored", Jet,
     [](TSQLADOServer& s) {
         s.UseSequence = true;
         s.SequenceColumn = "Id";
         s.SequenceName = "SEQ";
         return s.Insert("T", "a", "'x'");
     },
     true, "INSERT INTO T(a)\r\nVALUES('x')\r\n"},
    {"Update", Jet, [](TSQLADOServer& s) { return s.Update("MBlob", "Status='2'", "Id=5"); }, true,
     "UPDATE MBlob SET Status='2' WHERE Id=5\r\n"},
    {"UpdateNoWhere", Jet, [](TSQLADOServer& s) { return s.Update("MBlob", "Status='2'", ""); },
     true, "UPDATE MBlob SET Status='2'\r\n"},
    {"UpdateEmptyAssignments", Jet, [](TSQLADOServer& s) { return s.Update("MBlob", "", "Id=5"); },
     false, ""},
    {"DeleteAll", Jet, [](TSQLADOServer& s) { return s.Delete("T", ""); }, true,
     "DELETE FROM T\r\n"},
    {"DeleteWhere", Jet, [](TSQLADOServer& s) { return s.Delete("T", "Id>7"); }, true,
     "DELETE FROM T WHERE Id>7\r\n"},
    {"DeleteEmptyTable", Jet, [](TSQLADOServer& s) { return s.Delete("", "Id>7"); }, false, ""},
    {"SelectWhereKey", Jet,
     [](TSQLADOServer& s) { return s.SelectWhere("SysData", "Id", "8", "SysValue"); }, true,
     "SELECT SysValue FROM SysData WHERE Id=8\r\n"},
    {"SelectWhereQuestionMark", Jet,
     [](TSQLADOServer& s) { return s.SelectWhere("dual", "?", "1", "x"); }, true,
     "SELECT x FROM dual\r\n"},
    {"LookupLanguage", SqlServer,
     [](TSQLADOServer& s) {
         int32_t n = 5;
         std::string t = "old";
         s.LookupValue("master.dbo.syslanguages", "langid", "@@langid", "name", n, t);
         return n == -1 && t.empty();
     },
     true, "SELECT name FROM master.dbo.syslanguages WHERE langid=@@langid\r\n"},
    {"TransactionsSqlServer", SqlServer,
     [](TSQLADOServer& s) { return s.BeginTransaction() && s.Commit() && s.Rollback(); }, true,
     "BEGIN TRANSACTION\r\nCOMMIT TRANSACTION\r\nROLLBACK TRANSACTION\r\n"},
    {"TransactionsOracle", Oracle,
     [](TSQLADOServer& s) { return s.BeginTransaction() && s.Commit() && s.Rollback(); }, true,
     "SET TRANSACTION READ WRITE\r\nCOMMIT\r\nROLLBACK\r\n"},
    {"TransactionsJetAreMethods", Jet,
     [](TSQLADOServer& s) { return s.BeginTransaction() || s.Commit() || s.Rollback(); }, false,
     ""},
    {"OracleTranslation", Oracle,
     [](TSQLADOServer& s) {
         s.TranslateForOracle = true;
         return s.ExecSQL("SELECT ISNULL(a,'')+b FROM T") && s.SQL == "SELECT NVL(a,'')||b FROM T";
     },
     true, "SELECT ISNULL(a,'')+b FROM T\r\n"},
    {"NoTranslationOnJet", Jet,
     [](TSQLADOServer& s) {
         s.TranslateForOracle = true;
         return s.ExecSQL("SELECT ISNULL(a,'')+b FROM T") &&
                s.SQL == "SELECT ISNULL(a,'')+b FROM T";
     },
     true, "SELECT ISNULL(a,'')+b FROM T\r\n"},
    {"ScriptedFailureKept", Jet,
     [](TSQLADOServer& s) {
         s.Failed = true;
         return s.ExecSQL("x");
     },
     false, "x\r\n"},
};

class BuilderText : public ::testing::TestWithParam<TBuilderCase> {};

TEST_P(BuilderText, WritesScript) {
    const auto& c = GetParam();
    TScripted s(c.kind);
    EXPECT_EQ(c.run(s.server), c.result);
    EXPECT_EQ(s.Script(), c.script);
}

INSTANTIATE_TEST_SUITE_P(Db, BuilderText, ::testing::ValuesIn(builderCases),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(DbScript, ModeZeroWithoutConnectionRunsNothing) {
    TSQLADOServer s;
    s.SetServerType(Jet);
    EXPECT_FALSE(s.ExecSQL("DELETE FROM T"));
    EXPECT_EQ(s.Script.Size(), 0u);
    EXPECT_FALSE(s.Failed);
    EXPECT_EQ(s.LastError, "");
}

struct TQuoteCase {
    const char* value;
    uint8_t style;
    const char* expected;
};

TEST(DbQuote, AllStyles) {
    const TQuoteCase cases[] = {
        {"", 0, "null"},
        {"", 1, "null"},
        {"", 2, "null"},
        {"", 3, "null"},
        {"It's", 0, "'It''s'"},
        {"O'Neil", 0, "'O''Neil'"},
        {"O'Neil", 2, "'O'+CHR(39)+'Neil'"},
        {"a\r\nb", 0, "'a\r\nb'"},
        {"a\r\nb", 1, "'a'||CHR(13)||''||CHR(10)||'b'"},
        {"a\r\nb", 2, "'a'+CHR(13)+''+CHR(10)+'b'"},
        {"a\r\nb", 3, "'a'+CHAR(13)+''+CHAR(10)+'b'"},
        {"a\r\nb", 200, "'a'+CHAR(13)+''+CHAR(10)+'b'"},
        {"''", 2, "''+CHR(39)+''+CHR(39)+''"},
        {"plain", 2, "'plain'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuoteSQLString(c.value, c.style), c.expected)
            << c.value << " style " << int(c.style);
}

TEST(DbExpressions, EveryKind) {
    struct TCase {
        uint8_t kind;
        const char *date, *time, *dateTime;
    } const cases[] = {
        {Jet, "Format(Termin,\"dd.mm.yyyy\")", "Format(Termin,\"hh:mm\")",
         "Format(Termin,'dd.mm.yyyy hh:nn')"},
        {SqlServer, "CONVERT(varchar(10),Termin,104)", "CONVERT(varchar(5),Termin,8)",
         "CONVERT(varchar(10),Termin,104)+' '+CONVERT(varchar(5),Termin,8)"},
        {Oracle, "TO_CHAR(Termin,'dd.mm.yyyy','NLS_DATE_LANGUAGE=GERMAN')",
         "TO_CHAR(Termin,'hh24:mi','NLS_DATE_LANGUAGE=GERMAN')",
         "TO_CHAR(Termin,'dd.mm.yyyy hh24:mi','NLS_DATE_LANGUAGE=GERMAN')"},
        {DirectoryService, "Termin", "Termin", "Termin+' '+Termin"},
        {Odbc, "Termin", "Termin", "Termin+' '+Termin"},
        {5, "Termin", "Termin", "Termin+' '+Termin"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateExpr("Termin", c.kind), c.date) << int(c.kind);
        EXPECT_EQ(TimeExpr("Termin", c.kind), c.time) << int(c.kind);
        EXPECT_EQ(DateTimeExpr("Termin", c.kind), c.dateTime) << int(c.kind);
    }
    EXPECT_EQ(DateTimeExpr("Created", Jet), "Format(Created,'dd.mm.yyyy hh:nn')");
}

TEST(DbServerType, ProviderAndNowFunction) {
    struct TCase {
        uint8_t kind;
        const char *provider, *now;
    } const cases[] = {
        {0, "Microsoft.Jet.OLEDB.4.0", "NOW()"},
        {1, "SQLOLEDB", "GETDATE()"},
        {2, "OraOLEDB.Oracle", "SYSDATE"},
        {3, "ADsDSOObject", "NOW()"},
        {4, "MSDASQL", "NOW()"},
        {0x82, "OraOLEDB.Oracle", "NOW()"},
    };
    for (const auto& c : cases) {
        TSQLADOServer s;
        s.SetServerType(c.kind);
        EXPECT_EQ(s.Provider, c.provider) << int(c.kind);
        EXPECT_EQ(s.NowFunction, c.now) << int(c.kind);
        EXPECT_EQ(s.GetServerType(), c.kind);
    }
    TSQLADOServer s;
    s.SetServerType(Oracle);
    s.SetServerType(5);
    EXPECT_EQ(s.Provider, "OraOLEDB.Oracle");
    EXPECT_EQ(s.NowFunction, "NOW()");
}

// ---- long data scripts ----

TMemoryStream Bytes(size_t n) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 7 + 1);
    return TMemoryStream(std::move(b));
}

std::string HexOf(const TMemoryStream& m, size_t from, size_t n) {
    static const char d[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = from; i < from + n; ++i)
        out += {d[m.Bytes()[i] >> 4], d[m.Bytes()[i] & 15]};
    return out;
}

TEST(DbBlobScript, SqlServerChunksWithGoLines) {
    TScripted s(SqlServer);
    const TMemoryStream value = Bytes(20000);
    EXPECT_TRUE(s.server.WriteBlob("MBlob", "FeldBlob", "Id=5", value));
    std::string expected = "BEGIN TRANSACTION\r\n"
                           "SELECT TextOk=TEXTVALID('MBlob.FeldBlob',TEXTPTR(FeldBlob)) , "
                           "TSize=DATALENGTH(FeldBlob) FROM MBlob WHERE Id=5\r\n"
                           "UPDATE MBlob SET FeldBlob=null WHERE Id=5\r\n";
    const size_t offsets[] = {0, 8192, 16384}, sizes[] = {8192, 8192, 3616};
    for (int k = 0; k < 3; ++k)
        expected += "DECLARE @Txt varbinary(16)\r\nSELECT @Txt=TEXTPTR(FeldBlob) FROM MBlob WHERE "
                    "Id=5\r\nUPDATETEXT MBlob.FeldBlob @Txt " +
                    std::to_string(offsets[k]) + " NULL WITH LOG 0x" +
                    HexOf(value, offsets[k], sizes[k]) + "\r\ngo\r\n";
    expected += "COMMIT TRANSACTION\r\n";
    EXPECT_EQ(s.Script(), expected);
    EXPECT_EQ(value.Position(), 0u);
    EXPECT_FALSE(s.server.RecordSet);
}

TEST(DbBlobScript, SqlServerEmptyValueHasNoChunk) {
    TScripted s(SqlServer);
    EXPECT_TRUE(s.server.WriteBlob("MBlob", "FeldBlob", "", TMemoryStream()));
    EXPECT_EQ(s.Script(), "BEGIN TRANSACTION\r\n"
                          "SELECT TextOk=TEXTVALID('MBlob.FeldBlob',TEXTPTR(FeldBlob)) , "
                          "TSize=DATALENGTH(FeldBlob) FROM MBlob\r\n"
                          "UPDATE MBlob SET FeldBlob=null\r\nCOMMIT TRANSACTION\r\n");
}

std::string OracleBlock(const TMemoryStream& v, size_t c, const std::string& where, bool sequence) {
    std::string out = "DECLARE\r\n";
    if (sequence)
        out += "oraseq INT;\r\n";
    out += "lob_loc BLOB;\r\nbuffer RAW(" + std::to_string(c) + ");\r\nBEGIN\r\n";
    if (sequence)
        out += "SELECT SEQ.CURRVAL INTO oraseq FROM dual;\r\n";
    out += "UPDATE MBlob SET FeldBlob=EMPTY_BLOB() WHERE " + where +
           ";\r\nSELECT FeldBlob INTO lob_loc FROM MBlob WHERE " + where + " FOR UPDATE;\r\n";
    for (size_t off = 0; off < v.Size(); off += c) {
        const size_t n = std::min<size_t>(c, v.Size() - off);
        out += "buffer := HEXTORAW('" + HexOf(v, off, n) + "');\r\ndbms_lob.write (lob_loc, " +
               std::to_string(n) + ", " + std::to_string(off + 1) + ", buffer);\r\n";
    }
    return out + "END;";
}

TEST(DbBlobScript, OracleBlocks) {
    {
        TScripted s(Oracle);
        const TMemoryStream v(std::vector<uint8_t>{1, 2, 3});
        EXPECT_TRUE(s.server.WriteBlob("MBlob", "FeldBlob", "Id=5", v));
        EXPECT_EQ(s.server.SQL, "DECLARE\r\nlob_loc BLOB;\r\nbuffer RAW(3);\r\nBEGIN\r\nUPDATE "
                                "MBlob SET FeldBlob=EMPTY_BLOB() WHERE Id=5;\r\n"
                                "SELECT FeldBlob INTO lob_loc FROM MBlob WHERE Id=5 FOR "
                                "UPDATE;\r\nbuffer := HEXTORAW('010203');\r\n"
                                "dbms_lob.write (lob_loc, 3, 1, buffer);\r\nEND;");
        EXPECT_EQ(s.Script(), s.server.SQL + "\r\n") << "ScriptMode 1 starts no transaction";
    }
    for (size_t size : {size_t{100}, size_t{20000}}) {
        TScripted s(Oracle);
        const TMemoryStream v = Bytes(size);
        EXPECT_TRUE(s.server.WriteBlob("MBlob", "FeldBlob", "Id=5", v));
        EXPECT_EQ(s.server.SQL, OracleBlock(v, std::min<size_t>(size, 16384), "Id=5", false));
    }
    TScripted s(Oracle);
    s.server.UseSequence = true;
    s.server.SequenceColumn = "Id";
    s.server.SequenceName = "SEQ";
    const TMemoryStream v = Bytes(20000);
    EXPECT_TRUE(s.server.WriteBlob("MBlob", "FeldBlob", "Id=5", v));
    EXPECT_EQ(s.server.SQL, OracleBlock(v, 16384, "Id=oraseq", true));
    EXPECT_NE(s.server.SQL.find("dbms_lob.write (lob_loc, 16384, 1, buffer);"), std::string::npos);
    EXPECT_NE(s.server.SQL.find("dbms_lob.write (lob_loc, 3616, 16385, buffer);"),
              std::string::npos);
}

TEST(DbBlobScript, JetAndOtherKinds) {
    TScripted jet(Jet);
    EXPECT_TRUE(jet.server.WriteBlob("MBlob", "FeldBlob", "Id=5", TMemoryStream()));
    EXPECT_EQ(jet.server.SQL, "UPDATE MBlob SET FeldBlob=null WHERE Id=5");
    EXPECT_TRUE(jet.server.WriteBlob("MBlob", "FeldBlob", "Id=5",
                                     TMemoryStream(std::vector<uint8_t>{0x01, 0xAB})));
    EXPECT_EQ(jet.server.SQL, "UPDATE MBlob SET FeldBlob=0x01AB WHERE Id=5");
    for (uint8_t kind : {DirectoryService, Odbc}) {
        TScripted other(kind);
        EXPECT_FALSE(other.server.WriteBlob("MBlob", "FeldBlob", "Id=5", Bytes(3)));
        EXPECT_EQ(other.Script(), "");
    }
}

} // namespace
} // namespace orvendal
