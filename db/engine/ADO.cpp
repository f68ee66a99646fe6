#include "db/engine/ADO.h"

#include "db/engine/JetSQL.h"
#include "db/engine/UnicodeText.h"
#include "tables/UserFkt.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace orvendal {

// ---- values and record sets ----

std::string TADOValue::Text() const {
    switch (Kind) {
    case TKind::Null:
        return {};
    case TKind::Date: {
        jet::TDateTime v;
        return jet::ParseDateTime(Data, v) ? jet::GermanText(v) : Data;
    }
    case TKind::Binary: {
        // A byte array as text: its elements' decimal values, CR LF between them.
        std::string out;
        out.reserve(Data.size() * 5);
        for (size_t i = 0; i < Data.size(); ++i) {
            if (i > 0)
                out += "\r\n";
            out += std::to_string(static_cast<unsigned char>(Data[i]));
        }
        return out;
    }
    default:
        return Data;
    }
}

TADORecordSet::TADORecordSet(std::vector<std::string> names, std::vector<int32_t> types,
                             std::vector<std::vector<TADOValue>> rows)
    : open_(true), names_(std::move(names)), types_(std::move(types)), rows_(std::move(rows)) {}

void TADORecordSet::CheckOpen() const {
    if (!open_)
        throw EADOError("Operation is not allowed when the object is closed.");
}

void TADORecordSet::CheckColumn(int32_t index) const {
    CheckOpen();
    if (index < 0 || static_cast<size_t>(index) >= names_.size())
        throw EADOError("Item cannot be found in the collection corresponding to the requested "
                        "name or ordinal.");
}

int32_t TADORecordSet::RecordCount() const {
    CheckOpen();
    return static_cast<int32_t>(rows_.size());
}

int32_t TADORecordSet::FieldCount() const {
    CheckOpen();
    return static_cast<int32_t>(names_.size());
}

const std::string& TADORecordSet::Name(int32_t index) const {
    CheckColumn(index);
    return names_[static_cast<size_t>(index)];
}

int32_t TADORecordSet::Type(int32_t index) const {
    CheckColumn(index);
    return types_[static_cast<size_t>(index)];
}

const TADOValue& TADORecordSet::Value(int32_t index) const {
    CheckColumn(index);
    if (AtBOF() || AtEOF())
        throw EADOError("Either BOF or EOF is True, or the current record has been deleted. "
                        "Requested operation requires a current record.");
    return rows_[static_cast<size_t>(position_)][static_cast<size_t>(index)];
}

void TADORecordSet::MoveFirst() {
    CheckOpen();
    position_ = 0;
}

void TADORecordSet::Move(int64_t count) {
    CheckOpen();
    const auto size = static_cast<int64_t>(rows_.size());
    position_ = std::clamp<int64_t>(position_ + count, -1, size);
}

bool TADORecordSet::AtBOF() const {
    return open_ && (position_ < 0 || rows_.empty());
}
bool TADORecordSet::AtEOF() const {
    return open_ && position_ >= static_cast<int64_t>(rows_.size());
}

int32_t TADORecordSet::AbsolutePosition() const {
    CheckOpen();
    if (AtBOF() || AtEOF())
        throw EADOError("Either BOF or EOF is True.");
    return static_cast<int32_t>(position_ + 1);
}

// ---- connection string ----

namespace {

// Whether the text from at on begins with a known key and its "=".
bool KeyAt(const std::string& text, size_t at) {
    const size_t eq = text.find('=', at);
    if (eq == std::string::npos)
        return false;
    const std::string key = LowerCase(Trim(text.substr(at, eq - at)));
    return key == "provider" || key == "data source" || key == "user id" || key == "password";
}

} // namespace

TConnectionString TConnectionString::Parse(const std::string& text) {
    TConnectionString out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(';', start);
        while (end != std::string::npos && !KeyAt(text, end + 1))
            end = text.find(';', end + 1);
        if (end == std::string::npos)
            end = text.size();
        const std::string part = text.substr(start, end - start);
        const size_t eq = part.find('=');
        if (eq != std::string::npos) {
            const std::string key = LowerCase(Trim(part.substr(0, eq)));
            if (key == "provider")
                out.Provider = part.substr(eq + 1);
            if (key == "data source")
                out.DataSource = part.substr(eq + 1);
        }
        start = end + 1;
    }
    return out;
}

namespace {

TConnectionString JetSource(const std::string& connectionString) {
    TConnectionString cs = TConnectionString::Parse(connectionString);
    if (cs.Provider != JetProvider)
        throw EADOError("Provider '" + cs.Provider +
                        "' is not available: this system provides only " + JetProvider +
                        " (SQLite 3 database files).");
    if (cs.DataSource.empty())
        throw EADOError("No Data Source given in the connection string.");
    return cs;
}

// Refuses files that are not SQLite 3 databases, naming a real Access file as such.
void CheckFileFormat(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[20] = {};
    in.read(head, sizeof head);
    const auto got = static_cast<size_t>(in.gcount());
    if (got >= 19 && head[0] == 0 && head[1] == 1 &&
        (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 ||
         std::memcmp(head + 4, "Standard ACE DB", 15) == 0))
        throw EADOError("The file '" + path +
                        "' is a Microsoft Access (Jet/ACE) database; this provider opens SQLite 3 "
                        "database files only.");
    if (got < 16 || std::memcmp(head, "SQLite format 3", 16) != 0)
        throw EADOError("Unrecognized database format '" + path + "'.");
}

std::string ArgText(sqlite3_value* v) {
    const auto* p = sqlite3_value_text(v);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<size_t>(sqlite3_value_bytes(v)))
             : std::string();
}

void ResultText(sqlite3_context* ctx, const std::string& text) {
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// NOW(): local date and time in the stored form.
void NowFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    ResultText(ctx, jet::IsoText({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                  local.tm_hour, local.tm_min, local.tm_sec}));
}

// Format(x, pattern) with Access's date patterns; a value that is no date-time stays as it is.
void FormatFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const std::string value = ArgText(argv[0]);
    jet::TDateTime dt;
    if (argc < 2 || !jet::ParseDateTime(value, dt))
        return ResultText(ctx, value);
    ResultText(ctx, jet::FormatDateTime(dt, ArgText(argv[1])));
}

void RegisterFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8;
    sqlite3_create_function(db, "NOW", 0, flags, nullptr, NowFunction, nullptr, nullptr);
    sqlite3_create_function(db, "FORMAT", 2, flags | SQLITE_DETERMINISTIC, nullptr, FormatFunction,
                            nullptr, nullptr);
    sqlite3_create_function(db, "FORMAT", 1, flags | SQLITE_DETERMINISTIC, nullptr, FormatFunction,
                            nullptr, nullptr);
    jet::RegisterUnicodeText(db);
}

std::string Message(sqlite3* db) {
    return sqlite3_errmsg(db);
}

[[noreturn]] void Fail(sqlite3* db) {
    throw EADOError(Message(db), sqlite3_extended_errcode(db));
}

TADOValue ReadValue(sqlite3_stmt* st, int col, bool dateColumn) {
    TADOValue v;
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        return v;
    case SQLITE_INTEGER:
        v.Kind = TADOValue::TKind::Integer;
        break;
    case SQLITE_FLOAT:
        v.Kind = TADOValue::TKind::Real;
        break;
    case SQLITE_BLOB: {
        v.Kind = TADOValue::TKind::Binary;
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, col));
        v.Data.assign(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, col)));
        return v;
    }
    default:
        v.Kind = TADOValue::TKind::Text;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    v.Data.assign(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, col)));
    jet::TDateTime dt;
    if (dateColumn && v.Kind == TADOValue::TKind::Text && jet::ParseDateTime(v.Data, dt)) {
        v.Kind = TADOValue::TKind::Date;
        v.Data = jet::IsoText(dt);
    }
    return v;
}

int32_t TypeOfValue(const TADOValue& v) {
    switch (v.Kind) {
    case TADOValue::TKind::Integer:
        return 3;
    case TADOValue::TKind::Real:
        return 5;
    case TADOValue::TKind::Binary:
        return 205;
    case TADOValue::TKind::Date:
        return 7;
    default:
        return 202;
    }
}

// No journal file and no flushes: for files that are made new for each use.
const char* const ScratchPragmas = "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF;";

struct TStatementGuard {
    sqlite3_stmt* St = nullptr;
    ~TStatementGuard() { sqlite3_finalize(St); }
};

// A prepared statement in use: kept for the next run of the same text, or thrown away.
struct TStatementUse {
    sqlite3_stmt* const St;
    const bool Kept;
    TStatementUse(sqlite3_stmt* st, bool kept) : St(st), Kept(kept) {}
    TStatementUse(const TStatementUse&) = delete;
    TStatementUse& operator=(const TStatementUse&) = delete;
    ~TStatementUse() {
        if (!Kept) {
            sqlite3_finalize(St);
            return;
        }
        // Ends the statement's read of the file and lets go of the bound values.
        sqlite3_reset(St);
        sqlite3_clear_bindings(St);
    }
};

void BindParameters(sqlite3_stmt* st, const std::vector<jet::TParameter>& parameters) {
    const int count = sqlite3_bind_parameter_count(st);
    for (int p = 1; p <= count && static_cast<size_t>(p) <= parameters.size(); ++p) {
        const jet::TParameter& parameter = parameters[static_cast<size_t>(p) - 1];
        const std::string& v = parameter.Value;
        switch (parameter.Kind) {
        case jet::TParameter::TKind::Text:
            sqlite3_bind_text64(st, p, v.data(), v.size(), SQLITE_STATIC, SQLITE_UTF8);
            break;
        case jet::TParameter::TKind::Blob:
            sqlite3_bind_blob64(st, p, v.data(), v.size(), SQLITE_STATIC);
            break;
        case jet::TParameter::TKind::Integer:
            sqlite3_bind_int64(st, p, std::stoll(v));
            break;
        }
    }
}

// Enough for the few shapes of statement a bulk load repeats.
constexpr size_t KeptStatements = 32;

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

// ---- connection ----

bool EADOError::RowRefused() const {
    const int primary = NativeError & 0xFF;
    return primary == SQLITE_CONSTRAINT || primary == SQLITE_MISMATCH || primary == SQLITE_TOOBIG;
}

TADOConnection::~TADOConnection() {
    Close();
}

std::string TADOConnection::Version() {
    return std::string("2.8 (SQLite ") + sqlite3_libversion() + ")";
}

void TADOConnection::Open(const std::string& connectionString, const std::string&,
                          const std::string&) {
    Close();
    const TConnectionString cs = JetSource(connectionString);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(cs.DataSource, ec))
        throw EADOError("Could not find file '" + cs.DataSource + "'.");
    CheckFileFormat(cs.DataSource);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(cs.DataSource.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        const std::string message = db ? Message(db) : "out of memory";
        sqlite3_close(db);
        throw EADOError("Could not open file '" + cs.DataSource + "': " + message);
    }
    RegisterFunctions(db);
    sqlite3_busy_timeout(db, LockWaitMilliseconds);
    if (const std::string error = jet::RefreshNocaseIndexes(db); !error.empty()) {
        sqlite3_close(db);
        throw EADOError("Could not rebuild the case-insensitive indexes of '" + cs.DataSource +
                        "': " + error);
    }
    db_ = db;
}

void TADOConnection::UseAsScratch() {
    RunPlain(ScratchPragmas);
}

void TADOConnection::Close() {
    ForgetStatements();
    if (db_ != nullptr)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    dateColumns_.clear(); // the next file has its own schema
}

std::shared_ptr<TADORecordSet> TADOConnection::Execute(const std::string& sql,
                                                       int32_t& recordsAffected) {
    if (db_ == nullptr)
        throw EADOError("Operation is not allowed when the object is closed.");
    const jet::TStatement statement =
        jet::Translate(sql, [this](const std::string& table, const std::string& column) {
            return IsDateColumn(table, column);
        });
    // One statement per text, as the Jet provider runs it: a value that reaches the text
    // unquoted must not be able to add a statement or comment out the rest.
    if (statement.HasComment)
        throw EADOError("Syntax error: comment in SQL statement.");
    recordsAffected = 0;
    const TStatementUse st{Prepare(statement), statement.Reusable};
    if (st.St == nullptr)
        return std::make_shared<TADORecordSet>(); // a blank text
    BindParameters(st.St, statement.Parameters);
    const int columns = sqlite3_column_count(st.St);
    std::vector<std::string> names;
    std::vector<int32_t> types;
    std::vector<bool> dates;
    for (int c = 0; c < columns; ++c) {
        names.emplace_back(sqlite3_column_name(st.St, c));
        const char* decl = sqlite3_column_decltype(st.St, c);
        types.push_back(decl ? jet::AdoTypeOfDeclared(decl) : 0);
        dates.push_back(types.back() == 7);
    }
    std::vector<std::vector<TADOValue>> rows;
    const sqlite3_int64 changesBefore = sqlite3_total_changes64(db_);
    int rc;
    while ((rc = sqlite3_step(st.St)) == SQLITE_ROW) {
        std::vector<TADOValue> row;
        row.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(ReadValue(st.St, c, dates[static_cast<size_t>(c)]));
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        Fail(db_);
    auto result = std::make_shared<TADORecordSet>();
    if (columns > 0) {
        // Columns without a declared type (expressions) take the type of their first value.
        for (size_t c = 0; c < types.size(); ++c) {
            if (types[c] != 0)
                continue;
            types[c] = 202;
            for (const auto& row : rows)
                if (!row[c].IsNull()) {
                    types[c] = TypeOfValue(row[c]);
                    break;
                }
        }
        result =
            std::make_shared<TADORecordSet>(std::move(names), std::move(types), std::move(rows));
    } else if (sqlite3_total_changes64(db_) != changesBefore) {
        // sqlite3_changes keeps the count of the last INSERT, UPDATE or DELETE across other
        // statements: a CREATE after an UPDATE changed no row.
        recordsAffected = sqlite3_changes(db_);
    }
    if (!statement.Reusable)
        dateColumns_.clear(); // anything but a query or a change of rows may change the schema
    return result;
}

sqlite3_stmt* TADOConnection::Prepare(const jet::TStatement& statement) {
    if (const auto it = prepared_.find(statement.Sql); it != prepared_.end())
        return it->second;
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_, statement.Sql.c_str(), -1, &st, &tail) != SQLITE_OK)
        Fail(db_);
    if (std::string_view(tail).find_first_not_of(" \t\r\n") != std::string_view::npos) {
        sqlite3_finalize(st);
        throw EADOError("Characters found after end of SQL statement.");
    }
    if (st != nullptr && statement.Reusable) {
        if (prepared_.size() >= KeptStatements)
            ForgetStatements();
        prepared_.emplace(statement.Sql, st);
    }
    return st;
}

void TADOConnection::ForgetStatements() {
    for (const auto& [sql, st] : prepared_)
        sqlite3_finalize(st);
    prepared_.clear();
}

bool TADOConnection::IsDateColumn(const std::string& table, const std::string& column) {
    const std::string key = Upper(table);
    auto it = dateColumns_.find(key);
    if (it == dateColumns_.end()) {
        std::set<std::string> columns;
        TStatementGuard info;
        const std::string pragma = "PRAGMA table_info(\"" + table + "\")";
        if (sqlite3_prepare_v2(db_, pragma.c_str(), -1, &info.St, nullptr) == SQLITE_OK)
            while (sqlite3_step(info.St) == SQLITE_ROW) {
                const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(info.St, 1));
                const auto* decl = reinterpret_cast<const char*>(sqlite3_column_text(info.St, 2));
                if (name && jet::AdoTypeOfDeclared(decl ? decl : "") == 7)
                    columns.insert(Upper(name));
            }
        it = dateColumns_.emplace(key, std::move(columns)).first;
    }
    return it->second.count(Upper(column)) > 0;
}

void TADOConnection::RunPlain(const char* sql) {
    if (db_ == nullptr)
        throw EADOError("Operation is not allowed when the object is closed.");
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(db_);
}

void TADOConnection::BeginTrans() {
    RunPlain("BEGIN");
}
void TADOConnection::CommitTrans() {
    RunPlain("COMMIT");
}
void TADOConnection::RollbackTrans() {
    RunPlain("ROLLBACK");
}

void TADOConnection::CreateCatalog(const std::string& connectionString, bool scratch) {
    const TConnectionString cs = JetSource(connectionString);
    std::error_code ec;
    if (std::filesystem::exists(cs.DataSource, ec))
        throw EADOError("Database already exists.");
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(cs.DataSource.c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // Writing the header makes the file an SQLite database at once, not an empty file.
    const std::string header = "PRAGMA application_id=1330795086; PRAGMA user_version=" +
                               std::to_string(jet::UnicodeNocaseVersion);
    const bool ok =
        rc == SQLITE_OK &&
        (!scratch || sqlite3_exec(db, ScratchPragmas, nullptr, nullptr, nullptr) == SQLITE_OK) &&
        sqlite3_exec(db, header.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    const std::string message = db ? Message(db) : "out of memory";
    sqlite3_close(db);
    if (!ok)
        throw EADOError("Could not create database '" + cs.DataSource + "': " + message);
}

} // namespace orvendal
