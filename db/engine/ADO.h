#pragma once
// The ADO-like adapter under TSQLADOServer: a connection opened by an OLE DB style connection
// string and client-side record sets. The provider "Microsoft.Jet.OLEDB.4.0" is an SQLite 3 file
// at the Data Source path; Jet SQL is translated to SQLite at this boundary only (see
// db/README.md). Every other provider is reported as not available. Failures inside the adapter
// are thrown as EADOError with a provider-style message; TSQLADOServer catches them.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orvendal::jet {
struct TStatement;
}

namespace orvendal {

// An error raised by the adapter; what() is the provider's message, NativeError the engine's
// result code (0 for the adapter's own errors).
class EADOError : public std::runtime_error {
public:
    explicit EADOError(const std::string& message, int nativeError = 0)
        : std::runtime_error(message), NativeError(nativeError) {}
    // The statement was refused for the values of its row (a constraint such as NOT NULL or
    // UNIQUE); the database itself is sound.
    bool RowRefused() const;

    int NativeError;
};

// One field value of a record set: NULL, or a number, text or byte value kept as bytes.
struct TADOValue {
    enum class TKind : uint8_t { Null, Integer, Real, Text, Binary, Date };
    TKind Kind = TKind::Null;
    // Decimal text for numbers, the bytes for text and binary values, "yyyy-mm-dd hh:nn:ss"
    // for date-time values.
    std::string Data;

    bool IsNull() const { return Kind == TKind::Null; }
    // The value as text: empty for NULL, "dd.mm.yyyy hh:nn:ss" for a date-time, the decimal
    // values of a binary value's bytes with CR LF between them, the data otherwise.
    std::string Text() const;
};

// A client-side record set: the whole result in memory, positioned by row index, so that moving
// to any row costs the same. A closed record set (the result of an action statement) raises on
// every read, like ADO's.
class TADORecordSet {
public:
    // A closed record set.
    TADORecordSet() = default;
    // An open record set over the given columns (names, ADO type numbers) and rows.
    TADORecordSet(std::vector<std::string> names, std::vector<int32_t> types,
                  std::vector<std::vector<TADOValue>> rows);

    bool IsOpen() const { return open_; }
    // Number of rows; raises when closed.
    int32_t RecordCount() const;
    // Number of columns; raises when closed.
    int32_t FieldCount() const;
    // Name and ADO type number of the 0-based column; raise when closed or out of range.
    const std::string& Name(int32_t index) const;
    int32_t Type(int32_t index) const;
    // Value of the 0-based column at the current row; raises when closed, at BOF/EOF or out of
    // range.
    const TADOValue& Value(int32_t index) const;
    // Length in bytes of the value (ADO's ActualSize); the value's bytes (ADO's GetChunk).
    int64_t ActualSize(int32_t index) const {
        return static_cast<int64_t>(Value(index).Data.size());
    }

    // Positioning: the first row; count rows on from the current one (clamped to BOF/EOF);
    // one row on or back. All raise when closed.
    void MoveFirst();
    void Move(int64_t count);
    void MoveNext() { Move(1); }
    void MovePrevious() { Move(-1); }
    // Before the first row / after the last row (both true for an empty record set).
    bool AtBOF() const;
    bool AtEOF() const;
    // 1-based number of the current row; raises when closed or not on a row.
    int32_t AbsolutePosition() const;

private:
    void CheckOpen() const;
    void CheckColumn(int32_t index) const;

    bool open_ = false;
    std::vector<std::string> names_;
    std::vector<int32_t> types_;
    std::vector<std::vector<TADOValue>> rows_;
    int64_t position_ = 0; // 0-based row index; -1 = BOF, rows_.size() = EOF
};

// The connection: open by connection string, run statement texts, transactions.
class TADOConnection {
public:
    TADOConnection() = default;
    ~TADOConnection();
    TADOConnection(const TADOConnection&) = delete;
    TADOConnection& operator=(const TADOConnection&) = delete;

    // Opens the database named by "Provider=%s;Data Source=%s"; an existing, non-empty file
    // only. A write waits up to LockWaitMilliseconds for another process's lock.
    void Open(const std::string& connectionString, const std::string& userID,
              const std::string& password);
    void Close();
    // Treats the open file as scratch, made new for one use and thrown away after it: the
    // rollback journal stays in memory and nothing is synced to the disk, so a commit costs no
    // disk flush; a crash may damage this file and no other.
    void UseAsScratch();
    // 1 when open, 0 when closed (ADO's State).
    int32_t State() const { return db_ != nullptr ? 1 : 0; }
    // The adapter's version text (ADO's Version).
    static std::string Version();

    // Runs the statement text, which must be one statement without comments (a second
    // statement or a comment is refused and nothing runs); returns an open record set for a
    // query, a closed one for an action statement; recordsAffected receives the number of rows
    // changed (0 for a query).
    std::shared_ptr<TADORecordSet> Execute(const std::string& sql, int32_t& recordsAffected);
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // Creates an empty database file (ADOX Catalog.Create); raises when the file exists or the
    // provider is not available. A scratch file (see UseAsScratch) is made without a disk flush.
    static void CreateCatalog(const std::string& connectionString, bool scratch);

private:
    void RunPlain(const char* sql);
    // The prepared form of the statement, kept by its text when the statement is reusable.
    sqlite3_stmt* Prepare(const jet::TStatement& statement);
    void ForgetStatements();
    // Whether the column of the table is declared as a date-time; learned once per table.
    bool IsDateColumn(const std::string& table, const std::string& column);

    sqlite3* db_ = nullptr;
    std::map<std::string, std::set<std::string>> dateColumns_; // upper-case table -> columns
    std::map<std::string, sqlite3_stmt*> prepared_;            // reusable statements by text
};

// How long a statement waits for a lock another connection holds before it fails.
inline constexpr int LockWaitMilliseconds = 3000;

// The parts of a connection string "Provider=...;Data Source=..."; keys case-insensitive. A ";"
// ends a value only where a known key follows, so a path may hold ";".
struct TConnectionString {
    std::string Provider;
    std::string DataSource;
    static TConnectionString Parse(const std::string& text);
};

// The provider name that the adapter serves.
inline constexpr const char* JetProvider = "Microsoft.Jet.OLEDB.4.0";

} // namespace orvendal
