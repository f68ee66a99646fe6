// The statement texts TSQLADOServer builds for every dialect, byte for byte, seen through Script
// in ScriptMode 1 (written, not run); the dialect expressions and the quoting styles.
#include "db/Crlf.h"
#include "db/SQLADO.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <tuple>

namespace orvendal {
namespace {

using testing::Crlf;

// A server of the kind that writes its statements into Script without running them.
void Scripting(TSQLADOServer& s, uint8_t kind) {
    s.SetServerType(kind);
    s.ScriptMode = 1;
    s.SequenceColumn = "Id"; // the names alone change nothing
    s.SequenceName = "SEQ";
}

using S = TSQLADOServer&;
using A = const std::vector<std::string>&;

// The builders by letter (CountRows and LookupValue build what Select and SelectWhere build); I and
// B (WriteBlob of 01 AB 02) set UseSequence when given a fourth argument; T runs the three
// transaction calls, O ExecSQL translated for Oracle (true when SQL became the second argument), F
// ExecSQL after a failure (Failed is kept), Z ExecSQL in ScriptMode 0 without a connection (nothing
// runs, nothing is recorded).
const std::map<char, int (*)(S, A)> Builders = {
    {'S',
     [](S s, A a) { return +(s.Select(a[0], a[1], a[2], a[3], s.RecordSet) && !s.RecordSet); }},
    {'I', [](S s, A a) { return s.UseSequence = !a[3].empty(), +s.Insert(a[0], a[1], a[2]); }},
    {'U', [](S s, A a) { return +s.Update(a[0], a[1], a[2]); }},
    {'D', [](S s, A a) { return +s.Delete(a[0], a[1]); }},
    {'W', [](S s, A a) { return +s.SelectWhere(a[0], a[1], a[2], a[3]); }},
    {'T', [](S s, A) { return s.BeginTransaction() + s.Commit() + s.Rollback(); }},
    {'O',
     [](S s, A a) { return s.TranslateForOracle = true, +(s.ExecSQL(a[0]) && s.SQL == a[1]); }},
    {'F', [](S s, A a) { return s.Failed = true, +(s.ExecSQL(a[0]) || !s.Failed); }},
    {'Z', [](S s, A a) { return s.ScriptMode = 0, +(s.ExecSQL(a[0]) || !s.LastError.empty()); }},
    {'B',
     [](S s, A a) {
         return s.UseSequence = !a[3].empty(),
                +s.WriteBlob(a[0], a[1], a[2], TMemoryStream({1, 171, 2}));
     }},
};

// Each line: the kind (J Jet, M SqlServer, O Oracle) and the builder's letter, its arguments
// separated by "~", " => " its result, " => " the script; "\n" stands for CR LF.
const char* const Calls = R"(JS ~T~~ => 1 => SELECT * FROM T
JS   a ~ T ~ x=1\n~ a  => 1 => SELECT a FROM T WHERE x=1 ORDER BY a
MS @@version => 1 => SELECT @@version
OS @@version => 1 => SELECT @@version FROM dual
OS TOP 3 a~T => 1 => SELECT a FROM T WHERE (ROWNUM<=3)
JS TOP 3 a~T => 1 => SELECT TOP 3 a FROM T
OS TOP 15 Id~T~A=1 => 1 => SELECT Id FROM T WHERE A=1 and (ROWNUM<=15)
OS top 3 a~T~x~a => 1 => SELECT * FROM (SELECT a FROM T WHERE x ORDER BY a) WHERE (ROWNUM<=3)
OS TOP a~T => 1 => SELECT a FROM T WHERE (ROWNUM<=)
OS TOPa~T => 1 => SELECT TOPa FROM T
JI T~~1 => 1 => INSERT INTO T\nVALUES(1)
JI V~Id,C~7,5 => 1 => INSERT INTO V(Id,C)\nVALUES(7,5)
JI T~a~ => 0 =>
JI ~a~1 => 0 =>
OI T~a~'x'~seq => 1 => INSERT INTO T(a,Id)\nVALUES('x',SEQ.NEXTVAL)
OI T~~1~seq => 1 => INSERT INTO T(Id)\nVALUES(1,SEQ.NEXTVAL)
OI T~a~'x' => 1 => INSERT INTO T(a)\nVALUES('x')
JI T~a~'x'~seq => 1 => INSERT INTO T(a)\nVALUES('x')
JU B~St='2'~Id=5 => 1 => UPDATE B SET St='2' WHERE Id=5
JU B~St='2'~ => 1 => UPDATE B SET St='2'
JU B~~Id=5 => 0 =>
JD T~ => 1 => DELETE FROM T
JD T~Id>7 => 1 => DELETE FROM T WHERE Id>7
JD ~Id>7 => 0 =>
JW S~Id~8~V => 1 => SELECT V FROM S WHERE Id=8
JW D~?~1~x => 1 => SELECT x FROM D
MT  => 3 => BEGIN TRANSACTION\nCOMMIT TRANSACTION\nROLLBACK TRANSACTION
OT  => 3 => SET TRANSACTION READ WRITE\nCOMMIT\nROLLBACK
JT  => 0 =>
OO SELECT ISNULL(a,'')+b FROM T~SELECT NVL(a,'')||b FROM T => 1 => SELECT ISNULL(a,'')+b FROM T
JO SELECT ISNULL(a,'')+b FROM T~SELECT ISNULL(a,'')+b FROM T => 1 => SELECT ISNULL(a,'')+b FROM T
JF x => 0 => x
JZ x => 0 =>
MB B~F~Id=5 => 1 => BEGIN TRANSACTION\nSELECT TextOk=TEXTVALID('B.F',TEXTPTR(F)) , TSize=DATALENGTH(F) FROM B WHERE Id=5\nUPDATE B SET F=null WHERE Id=5\nDECLARE @Txt varbinary(16)\nSELECT @Txt=TEXTPTR(F) FROM B WHERE Id=5\nUPDATETEXT B.F @Txt 0 NULL WITH LOG 0x01AB02\ngo\nCOMMIT TRANSACTION
OB B~F~Id=5~seq => 1 => DECLARE\noraseq INT;\nlob_loc BLOB;\nbuffer RAW(3);\nBEGIN\nSELECT SEQ.CURRVAL INTO oraseq FROM dual;\nUPDATE B SET F=EMPTY_BLOB() WHERE Id=oraseq;\nSELECT F INTO lob_loc FROM B WHERE Id=oraseq FOR UPDATE;\nbuffer := HEXTORAW('01AB02');\ndbms_lob.write (lob_loc, 3, 1, buffer);\nEND;
JB B~F~Id=5 => 1 => UPDATE B SET F=0x01AB02 WHERE Id=5)";

TEST(DbText, BuildersWriteTheirStatements) {
    std::istringstream calls(Calls);
    for (std::string line; std::getline(calls, line);) {
        const size_t arrow = line.find(" => "), result = line.find(" =>", arrow + 1) + 4;
        std::vector<std::string> a(1);
        for (char c : Crlf(line.substr(3, arrow - 3)))
            c == '~' ? a.emplace_back() : a.back() += c;
        a.resize(4);
        TSQLADOServer s;
        Scripting(s, line[0] == 'J' ? Jet : line[0] == 'M' ? SqlServer : Oracle);
        EXPECT_EQ(Builders.at(line[1])(s, a), std::stoi(line.substr(arrow + 4))) << line;
        const std::string script = line.substr(std::min(result, line.size()));
        EXPECT_EQ(s.Script.AsString(), script.empty() ? "" : Crlf(script) + "\r\n") << line;
        EXPECT_EQ(s.SQL, line[1] == 'S' ? Crlf(script) : s.SQL) << "SQL keeps the statement";
    }
}

TEST(DbText, QuotingExpressionsAndProviders) {
    const char* const quoted[] = {"'It''s\r\nx'", "'It'||CHR(39)||'s'||CHR(13)||''||CHR(10)||'x'",
                                  "'It'+CHR(39)+'s'+CHR(13)+''+CHR(10)+'x'",
                                  "'It'+CHAR(39)+'s'+CHAR(13)+''+CHAR(10)+'x'"};
    for (uint8_t style : {0, 1, 2, 3, 200})
        EXPECT_EQ(QuoteSQLString("It's\r\nx", style), quoted[std::min<int>(style, 3)]) << +style;
    EXPECT_EQ(QuoteSQLString("", 2) + QuoteSQLString("''", 2), "null''+CHR(39)+''+CHR(39)+''");
    // Provider, NowFunction and the date, time and date-time expressions of each kind; the
    // provider keeps its value for a kind whose low seven bits are above 4.
    std::string all;
    TSQLADOServer s;
    for (uint8_t kind : {0, 1, 2, 3, 4, 0x82, 5}) {
        s.SetServerType(kind);
        all += std::to_string(s.GetServerType()) + " " + s.Provider + " " + s.NowFunction + " " +
               DateExpr("T", kind) + " " + TimeExpr("T", kind) + " " + DateTimeExpr("T", kind) +
               "\n";
    }
    EXPECT_EQ(
        all,
        R"(0 Microsoft.Jet.OLEDB.4.0 NOW() Format(T,"dd.mm.yyyy") Format(T,"hh:mm") Format(T,'dd.mm.yyyy hh:nn')
1 SQLOLEDB GETDATE() CONVERT(varchar(10),T,104) CONVERT(varchar(5),T,8) CONVERT(varchar(10),T,104)+' '+CONVERT(varchar(5),T,8)
2 OraOLEDB.Oracle SYSDATE TO_CHAR(T,'dd.mm.yyyy','NLS_DATE_LANGUAGE=GERMAN') TO_CHAR(T,'hh24:mi','NLS_DATE_LANGUAGE=GERMAN') TO_CHAR(T,'dd.mm.yyyy hh24:mi','NLS_DATE_LANGUAGE=GERMAN')
3 ADsDSOObject NOW() T T T+' '+T
4 MSDASQL NOW() T T T+' '+T
130 OraOLEDB.Oracle NOW() T T T+' '+T
5 OraOLEDB.Oracle NOW() T T T+' '+T
)");
}

// ---- long binary values ----

// What follows each open in the script up to close, joined with sep.
std::string Joined(const std::string& script, const std::string& open, char close,
                   const char* sep = "") {
    std::string out;
    for (size_t at = script.find(open); at != std::string::npos; at = script.find(open, at)) {
        at += open.size();
        out += script.substr(at, script.find(close, at) - at) + sep;
    }
    return out;
}

// The script of a long binary value written in ScriptMode 1.
std::string Script(uint8_t kind, const std::vector<uint8_t>& bytes) {
    TSQLADOServer s;
    Scripting(s, kind);
    const TMemoryStream value(bytes);
    const bool written = s.WriteBlob("B", "F", "Id=5", value);
    EXPECT_TRUE(value.Position() == 0 && !s.RecordSet && written == (kind <= Oracle));
    return s.Script.AsString();
}

TEST(DbText, LongBinaryValuesInChunksBothSidesOfTheLimit) {
    EXPECT_EQ(Script(Odbc, {1, 2, 3}), ""); // the kinds that write are in the table above
    // The size; the SQL Server chunk offsets; the Oracle writes (size, at).
    const std::tuple<size_t, const char*, std::string> large[] = {
        {0, "", ""},
        {8192, "0 ", "8192, 1, "},
        {8193, "0 8192 ", "8193, 1, "},
        {16384, "0 8192 ", "16384, 1, "},
        {16385, "0 8192 16384 ", "16384, 1, 1, 16385, "}};
    for (const auto& [size, offsets, writes] : large) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 + 1);
        const std::string sql = Script(SqlServer, bytes), ora = Script(Oracle, bytes);
        EXPECT_EQ(ora.find("oraseq"), std::string::npos) << "the names alone change nothing";
        const std::string hex = Joined(Script(Jet, bytes), "F=0x", ' '); // Jet: all of it
        EXPECT_EQ(Joined(sql, "WITH LOG 0x", '\r') + "|" + Joined(ora, "HEXTORAW('", '\''),
                  hex + "|" + hex);
        EXPECT_EQ(Joined(sql, "B.F @Txt ", ' ', " ") + "|" + Joined(ora, "write (lob_loc, ", 'b'),
                  offsets + ("|" + writes));
    }
}

} // namespace
} // namespace orvendal
