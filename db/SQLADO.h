#pragma once
// TSQLADOServer: one database connection that knows the SQL dialect of its database kind and
// builds every statement text of the system. Failures are never raised: operations return false
// (or -1, 0, empty) and keep the message in LastError. Record sets are read through the free
// accessors below, which number rows and columns from 1.

#include "db/engine/ADO.h"
#include "protect/Streams.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvendal {

using TRecordSet = std::shared_ptr<TADORecordSet>; // empty (nullptr) = no record set

// Database kinds (ServerType). Dialect decisions compare the whole byte with 0, 1 or 2.
enum : uint8_t { Jet = 0, SqlServer = 1, Oracle = 2, DirectoryService = 3, Odbc = 4 };

class TSQLADOServer {
public:
    TSQLADOServer();
    // Closes the connection when it is open.
    ~TSQLADOServer();
    TSQLADOServer(const TSQLADOServer&) = delete;
    TSQLADOServer& operator=(const TSQLADOServer&) = delete;

    uint8_t ServerType = Jet; // database kind; set it with SetServerType
    TRecordSet RecordSet;     // result of the last statement run on the object's own behalf
    std::string Provider;     // OLE DB provider name, set by SetServerType
    bool Connected = false;   // the connection is open
    bool Failed = false;      // the last execution raised an error
    // The last recorded error refused the statement's row for its values (a constraint such as
    // NOT NULL or UNIQUE), not a fault of the database itself (I/O, disk full, locked).
    bool Refused = false;
    bool UseSequence = false;        // Oracle: Insert takes SequenceColumn from SequenceName
    bool TranslateForOracle = false; // Oracle: "+" -> "||", "ISNULL" -> "NVL" before running
    std::string SQL;                 // statement being built or last run
    std::string LastError;           // message of the last recorded error
    std::string NowFunction;         // current date-time expression of the dialect
    std::string ServerVersion;       // learned by Connect
    std::string ServerLanguage;      // learned by Connect
    std::string DataSource;          // Jet: path of the database file
    std::string UserID;              // passed when opening
    std::string Password;            // passed when opening
    std::string SequenceColumn;      // key column filled from the sequence (Oracle)
    std::string SequenceName;        // Oracle sequence name
    uint8_t ScriptMode = 0; // 0 execute; 1 only write to Script; 2 write to Script and execute
    TMemoryStream Script;   // statement texts, each followed by CR LF, in ScriptMode 1 and 2
    // Jet: the file is scratch, made new for one use (a transfer file): CreateDatabase and
    // Connect set it up without journal file and disk flushes, so commits cost no disk sync.
    bool Scratch = false;

    // Disconnects when connected, stores the kind, sets Provider (low seven bits 0..4 only) and
    // NowFunction.
    void SetServerType(uint8_t kind);
    uint8_t GetServerType() const { return ServerType; }
    // Jet only: creates an empty database file at DataSource; false (message in LastError)
    // when it exists or cannot be made; false without a message for other kinds.
    bool CreateDatabase();
    // Opens "Provider=%s;Data Source=%s" (an existing file for Jet), resets ScriptMode and
    // Failed, learns ServerLanguage and ServerVersion by kind; returns Connected.
    bool Connect();
    // Closes the connection; true unless closing raised.
    bool Disconnect();

    // Runs SQL (or only scripts it in ScriptMode 1) into result; false on failure with the
    // message in LastError, result then unchanged.
    bool Execute(TRecordSet& result);
    // Runs text as SQL, empties RecordSet; result of Execute.
    bool ExecSQL(const std::string& text);
    // SELECT columns FROM table WHERE where ORDER BY orderBy, with the Oracle row limit form of
    // a leading "TOP n"; into result.
    bool Select(const std::string& columns, const std::string& table, const std::string& where,
                const std::string& orderBy, TRecordSet& result);
    // SELECT COUNT(*); -1 on failure.
    int32_t CountRows(const std::string& table, const std::string& where);
    // INSERT INTO table(columns) CR LF VALUES(values); false for an empty table or value list.
    bool Insert(const std::string& table, const std::string& columns, const std::string& values);
    // UPDATE table SET assignments [WHERE where]; false for an empty table or assignment list.
    bool Update(const std::string& table, const std::string& assignments, const std::string& where);
    // DELETE FROM table [WHERE where]; an empty where deletes every row.
    bool Delete(const std::string& table, const std::string& where);
    // Select of columns where keyField=keyValue (no condition for "?" or empty) into RecordSet.
    bool SelectWhere(const std::string& table, const std::string& keyField,
                     const std::string& keyValue, const std::string& columns);
    // SelectWhere; count = row count (-1 on failure), text = first field of the first row.
    void LookupValue(const std::string& table, const std::string& keyField,
                     const std::string& keyValue, const std::string& columns, int32_t& count,
                     std::string& text);
    // Transactions: statements on SqlServer and Oracle, connection methods on the other kinds
    // (their errors are swallowed: false, LastError untouched).
    bool BeginTransaction();
    bool Commit();
    bool Rollback();
    // Rows reported by the last executed statement.
    int32_t RecordsAffected() const { return recordsAffected_; }

    // Replaces the long binary value of the one row selected by where with the stream's bytes
    // (the stream position is not used or moved); RecordSet is empty afterwards.
    bool WriteBlob(const std::string& table, const std::string& field, const std::string& where,
                   const TMemoryStream& stream);
    // Appends the value of field in the row selected by where to stream; true (nothing written)
    // when no row matches or the value is empty.
    bool ReadBlob(const std::string& table, const std::string& field, const std::string& where,
                  TStream& stream);

private:
    std::string ConnectionString() const;
    void RecordError(const std::exception& error);
    void LearnServer();
    bool TransactionStatement(const char* sqlServer, const char* oracle,
                              void (TADOConnection::*method)());
    bool WriteBlobJet(const std::string& table, const std::string& field, const std::string& where,
                      const TMemoryStream& stream);
    bool WriteBlobSqlServer(const std::string& table, const std::string& field,
                            const std::string& where, const TMemoryStream& stream);
    bool WriteBlobOracle(const std::string& table, const std::string& field,
                         const std::string& where, const TMemoryStream& stream);
    // Ends a failed blob write: rolls back when asked and keeps the failing statement's LastError
    // and SQL when no rollback was needed or the rollback succeeded; false.
    bool FailBlob(bool callRollback);

    std::unique_ptr<TADOConnection> connection_;
    int32_t recordsAffected_ = 0;
};

// Record-set accessors. A missing or closed record set makes every read fail with the documented
// failure value. Row 0 leaves the position unchanged where a row is taken.
void MoveToRow(const TRecordSet& rs, int32_t row);        // row > 0: first row, then row - 1 on
bool HasRecordSet(const TRecordSet& rs);                  // reading RecordCount succeeds
int32_t RowCount(const TRecordSet& rs);                   // -1 on failure
int32_t FieldCount(const TRecordSet& rs);                 // -1 on failure
std::string FieldName(const TRecordSet& rs, int32_t col); // trimmed name, or the error message
// Value as text, trimmed; empty for NULL, beyond the rows or columns and on errors. Date-time
// values read "dd.mm.yyyy hh:nn:ss"; binary values are their bytes' decimal values, CR LF between.
std::string FieldText(const TRecordSet& rs, int32_t row, int32_t col);
int32_t FieldInt(const TRecordSet& rs, int32_t row, int32_t col);  // 0 unless an integer
int32_t FieldType(const TRecordSet& rs, int32_t row, int32_t col); // ADO type, 0 on failure
std::string FieldTypeLetter(const TRecordSet& rs, int32_t row, int32_t col); // "n","c","d","s"
// Navigation for browsing dialogs, like ADO's BOF/EOF; true for a missing record set.
bool IsBOF(const TRecordSet& rs);
bool IsEOF(const TRecordSet& rs);
void MoveNext(const TRecordSet& rs);      // no effect on a missing record set or at EOF
void MovePrior(const TRecordSet& rs);     // no effect on a missing record set or at BOF
int32_t CurrentRow(const TRecordSet& rs); // 1-based current row, 0 when not on a row

// The value as an SQL literal: "null" for an empty value; style 0 doubles quotes; style 1, 2,
// other writes quotes, CR and LF as ||CHR(c)||, +CHR(c)+, +CHAR(c)+ pieces.
std::string QuoteSQLString(const std::string& value, uint8_t quoteStyle);
// The query's result as an XML table text (UTF-8 values, records numbered when option is set,
// standalone="yes" declaration); an error becomes a one-column table with the message.
std::string QueryToXML(TSQLADOServer& server, const std::string& text, uint8_t option);

// A date-time column expression rendered as dd.mm.yyyy, hh:mm, and dd.mm.yyyy hh:mm text in the
// dialect of serverType.
std::string DateExpr(const std::string& x, uint8_t serverType);
std::string TimeExpr(const std::string& x, uint8_t serverType);
std::string DateTimeExpr(const std::string& x, uint8_t serverType);

} // namespace orvendal
