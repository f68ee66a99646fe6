#include "db/SQLADO.h"

#include "tables/CSV.h"
#include "tables/UserFkt.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace orvendal {
namespace {

const char* const CRLF = "\r\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Hex(const uint8_t* data, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out(n * 2, '0');
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = digits[data[i] >> 4];
        out[2 * i + 1] = digits[data[i] & 15];
    }
    return out;
}

bool StartsWithTop(const std::string& columns) {
    if (columns.size() < 4)
        return false;
    std::string head = columns.substr(0, 4);
    for (char& c : head)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return head == "TOP ";
}

} // namespace

TSQLADOServer::TSQLADOServer() : connection_(std::make_unique<TADOConnection>()) {}

TSQLADOServer::~TSQLADOServer() {
    if (Connected)
        Disconnect();
}

void TSQLADOServer::SetServerType(uint8_t kind) {
    static const char* const providers[] = {JetProvider, "SQLOLEDB", "OraOLEDB.Oracle",
                                            "ADsDSOObject", "MSDASQL"};
    if (Connected)
        Disconnect();
    ServerType = kind;
    if ((kind & 0x7F) <= 4)
        Provider = providers[kind & 0x7F];
    NowFunction = kind == SqlServer ? "GETDATE()" : kind == Oracle ? "SYSDATE" : "NOW()";
}

std::string TSQLADOServer::ConnectionString() const {
    return "Provider=" + Provider + ";Data Source=" + DataSource;
}

void TSQLADOServer::RecordError(const std::exception& error) {
    LastError = error.what();
    const auto* ado = dynamic_cast<const EADOError*>(&error);
    Refused = ado != nullptr && ado->RowRefused();
    Failed = true;
}

bool TSQLADOServer::CreateDatabase() {
    if (ServerType != Jet)
        return false;
    try {
        TADOConnection::CreateCatalog(ConnectionString(), Scratch);
        return true;
    } catch (const EADOError& e) {
        RecordError(e);
        return false;
    }
}

bool TSQLADOServer::Connect() {
    SQL.clear();
    try {
        if (connection_->State() == 1)
            connection_->Close();
        connection_->Open(ConnectionString(), UserID, Password);
        if (Scratch)
            connection_->UseAsScratch();
        ScriptMode = 0;
        Failed = false;
        Connected = true;
        LearnServer();
    } catch (const std::exception& e) {
        RecordError(e);
        Connected = false;
    }
    return Connected;
}

void TSQLADOServer::LearnServer() {
    int32_t count = 0;
    if (ServerType == SqlServer) {
        LookupValue("master.dbo.syslanguages", "langid", "@@langid", "name", count, ServerLanguage);
        LookupValue("", "", "", "@@version", count, ServerVersion);
    } else if (ServerType == Oracle) {
        LookupValue("dual", "?", "", "USERENV('LANG')", count, ServerLanguage);
        TRecordSet rs;
        if (Select("Banner", "V$Version", "Banner LIKE '%Oracle%'", "", rs) && RowCount(rs) > 0)
            ServerVersion = FieldText(rs, 1, 1);
    } else {
        ServerLanguage = "deutsch";
        ServerVersion = "ADO-Version " + TADOConnection::Version();
    }
}

bool TSQLADOServer::Disconnect() {
    try {
        if (connection_->State() == 1)
            connection_->Close();
        Failed = false;
        Connected = false;
        return true;
    } catch (const std::exception& e) {
        RecordError(e);
        Connected = true;
        return false;
    }
}

bool TSQLADOServer::Execute(TRecordSet& result) {
    if (!Connected && ScriptMode != 1)
        return false;
    if (ScriptMode == 1 || ScriptMode == 2) {
        Script.WriteString(SQL);
        Script.WriteString(CRLF);
    }
    if (TranslateForOracle && ServerType == Oracle)
        SQL = Replace(Replace(SQL, "+", "||"), "ISNULL", "NVL");
    if (ScriptMode == 0 || ScriptMode == 2) {
        try {
            int32_t affected = 0;
            TRecordSet rs = connection_->Execute(SQL, affected);
            recordsAffected_ = affected;
            result = std::move(rs);
            Failed = false;
        } catch (const std::exception& e) {
            RecordError(e);
        }
    }
    return !Failed;
}

bool TSQLADOServer::ExecSQL(const std::string& text) {
    SQL = text;
    const bool ok = Execute(RecordSet);
    RecordSet.reset();
    return ok;
}

bool TSQLADOServer::Select(const std::string& columnsIn, const std::string& tableIn,
                           const std::string& whereIn, const std::string& orderByIn,
                           TRecordSet& result) {
    std::string columns = Trim(columnsIn), table = Trim(tableIn), where = Trim(whereIn),
                orderBy = Trim(orderByIn);
    std::string limit;
    if (!columns.empty() && ServerType == Oracle && StartsWithTop(columns)) {
        size_t end = 4;
        while (end < columns.size() && std::isdigit(static_cast<unsigned char>(columns[end])))
            ++end;
        limit = "(ROWNUM<=" + columns.substr(4, end - 4) + ")";
        columns = Trim(columns.substr(end));
        if (orderBy.empty())
            where = where.empty() ? limit : where + " and " + limit;
    }
    std::string statement = columns.empty() ? "SELECT *" : "SELECT " + columns;
    if (ServerType == Oracle && table.empty())
        table = "dual";
    if (!table.empty())
        statement += " FROM " + table;
    if (!where.empty())
        statement += " WHERE " + where;
    if (!orderBy.empty())
        statement += " ORDER BY " + orderBy;
    if (!orderBy.empty() && !limit.empty())
        statement = "SELECT * FROM (" + statement + ") WHERE " + limit;
    SQL = statement;
    return Execute(result);
}

int32_t TSQLADOServer::CountRows(const std::string& table, const std::string& where) {
    const int32_t count =
        Select("COUNT(*)", table, where, "", RecordSet) ? FieldInt(RecordSet, 1, 1) : -1;
    RecordSet.reset();
    return count;
}

bool TSQLADOServer::Insert(const std::string& table, const std::string& columnsIn,
                           const std::string& valuesIn) {
    if (table.empty() || valuesIn.empty())
        return false;
    std::string columns = columnsIn, values = valuesIn;
    if (ServerType == Oracle && UseSequence && !SequenceColumn.empty() && !SequenceName.empty()) {
        columns = columns.empty() ? SequenceColumn : columns + "," + SequenceColumn;
        values += "," + SequenceName + ".NEXTVAL";
    }
    SQL = "INSERT INTO " + table;
    if (!columns.empty())
        SQL += "(" + columns + ")";
    SQL += std::string(CRLF) + "VALUES(" + values + ")";
    return Execute(RecordSet);
}

bool TSQLADOServer::Update(const std::string& table, const std::string& assignments,
                           const std::string& where) {
    if (table.empty() || assignments.empty())
        return false;
    SQL = "UPDATE " + table + " SET " + assignments;
    if (!where.empty())
        SQL += " WHERE " + where;
    return Execute(RecordSet);
}

bool TSQLADOServer::Delete(const std::string& table, const std::string& where) {
    if (table.empty())
        return false;
    SQL = "DELETE FROM " + table;
    if (!where.empty())
        SQL += " WHERE " + where;
    return Execute(RecordSet);
}

bool TSQLADOServer::SelectWhere(const std::string& table, const std::string& keyField,
                                const std::string& keyValue, const std::string& columns) {
    const std::string condition =
        keyField.empty() || keyField == "?" ? std::string() : keyField + "=" + keyValue;
    return Select(columns, table, condition, "", RecordSet);
}

void TSQLADOServer::LookupValue(const std::string& table, const std::string& keyField,
                                const std::string& keyValue, const std::string& columns,
                                int32_t& count, std::string& text) {
    text.clear();
    if (SelectWhere(table, keyField, keyValue, columns)) {
        count = RowCount(RecordSet);
        if (count > 0)
            text = FieldText(RecordSet, 1, 1);
    } else {
        count = -1;
    }
    RecordSet.reset();
}

bool TSQLADOServer::TransactionStatement(const char* sqlServer, const char* oracle,
                                         void (TADOConnection::*method)()) {
    if (ServerType == SqlServer)
        return ExecSQL(sqlServer);
    if (ServerType == Oracle)
        return ExecSQL(oracle);
    try {
        ((*connection_).*method)();
        return true;
    } catch (const std::exception&) {
        return false; // the method forms swallow their errors
    }
}

bool TSQLADOServer::BeginTransaction() {
    return TransactionStatement("BEGIN TRANSACTION", "SET TRANSACTION READ WRITE",
                                &TADOConnection::BeginTrans);
}
bool TSQLADOServer::Commit() {
    return TransactionStatement("COMMIT TRANSACTION", "COMMIT", &TADOConnection::CommitTrans);
}
bool TSQLADOServer::Rollback() {
    return TransactionStatement("ROLLBACK TRANSACTION", "ROLLBACK", &TADOConnection::RollbackTrans);
}

// ---- long binary values ----

bool TSQLADOServer::WriteBlob(const std::string& table, const std::string& field,
                              const std::string& where, const TMemoryStream& stream) {
    bool ok = false;
    if (ServerType == Jet)
        ok = WriteBlobJet(table, field, where, stream);
    else if (ServerType == SqlServer)
        ok = WriteBlobSqlServer(table, field, where, stream);
    else if (ServerType == Oracle)
        ok = WriteBlobOracle(table, field, where, stream);
    RecordSet.reset();
    return ok;
}

bool TSQLADOServer::WriteBlobJet(const std::string& table, const std::string& field,
                                 const std::string& where, const TMemoryStream& stream) {
    const auto& bytes = stream.Bytes();
    const std::string value = bytes.empty() ? "null" : "0x" + Hex(bytes.data(), bytes.size());
    return Update(table, field + "=" + value, where);
}

bool TSQLADOServer::FailBlob(bool callRollback) {
    const std::string error = LastError, sql = SQL;
    if (!callRollback || Rollback()) {
        LastError = error;
        SQL = sql;
    }
    return false;
}

bool TSQLADOServer::WriteBlobSqlServer(const std::string& table, const std::string& field,
                                       const std::string& where, const TMemoryStream& stream) {
    constexpr size_t chunk = 8192;
    if (!(Connected || ScriptMode == 1) || !BeginTransaction())
        return FailBlob(true);
    bool ok = Select("TextOk=TEXTVALID('" + table + "." + field + "',TEXTPTR(" + field +
                         ")) , TSize=DATALENGTH(" + field + ")",
                     table, where, "", RecordSet);
    if (!ok || FieldInt(RecordSet, 1, 1) != 1)
        ok = Update(table, field + "=null", where);
    const auto& bytes = stream.Bytes();
    for (size_t offset = 0; ok && offset < bytes.size(); offset += chunk) {
        SQL = std::string("DECLARE @Txt varbinary(16)") + CRLF + "SELECT @Txt=TEXTPTR(" + field +
              ") FROM " + table + (where.empty() ? "" : " WHERE " + where) + CRLF + "UPDATETEXT " +
              table + "." + field + " @Txt " + std::to_string(offset) + " NULL WITH LOG 0x" +
              Hex(bytes.data() + offset, std::min(chunk, bytes.size() - offset));
        ok = Execute(RecordSet);
        if (ok && ScriptMode == 1)
            ok = ExecSQL("go");
    }
    return ok ? Commit() : FailBlob(true);
}

bool TSQLADOServer::WriteBlobOracle(const std::string& table, const std::string& field,
                                    const std::string& whereIn, const TMemoryStream& stream) {
    const auto& bytes = stream.Bytes();
    const size_t c = std::min<size_t>(bytes.size(), 16384);
    if (ScriptMode != 1 && (!Connected || !BeginTransaction()))
        return FailBlob(true);
    const bool sequence = UseSequence && ScriptMode == 1;
    std::string where = whereIn;
    std::string block = std::string("DECLARE") + CRLF;
    if (sequence)
        block += std::string("oraseq INT;") + CRLF;
    block += std::string("lob_loc BLOB;") + CRLF + "buffer RAW(" + std::to_string(c) + ");" + CRLF +
             "BEGIN" + CRLF;
    if (sequence) {
        block += "SELECT " + SequenceName + ".CURRVAL INTO oraseq FROM dual;" + CRLF;
        where = SequenceColumn + "=oraseq";
    }
    block += "UPDATE " + table + " SET " + field + "=EMPTY_BLOB() WHERE " + where + ";" + CRLF;
    block += "SELECT " + field + " INTO lob_loc FROM " + table + " WHERE " + where +
             " FOR UPDATE;" + CRLF;
    for (size_t offset = 0; c > 0 && offset < bytes.size(); offset += c) {
        const size_t n = std::min(c, bytes.size() - offset);
        block += "buffer := HEXTORAW('" + Hex(bytes.data() + offset, n) + "');" + CRLF;
        block += "dbms_lob.write (lob_loc, " + std::to_string(n) + ", " +
                 std::to_string(offset + 1) + ", buffer);" + CRLF;
    }
    block += "END;";
    SQL = block;
    if (Execute(RecordSet))
        return ScriptMode == 1 || Commit();
    return FailBlob(ScriptMode != 1);
}

bool TSQLADOServer::ReadBlob(const std::string& table, const std::string& field,
                             const std::string& where, TStream& stream) {
    if (!Select(field, table, where, "", RecordSet)) {
        RecordSet.reset();
        return false;
    }
    bool ok = true;
    try {
        if (RowCount(RecordSet) > 0) {
            RecordSet->MoveFirst();
            const TADOValue& value = RecordSet->Value(0);
            if (!value.Data.empty())
                stream.Write(value.Data.data(), value.Data.size());
        }
    } catch (const std::exception& e) {
        RecordError(e);
        ok = false;
    }
    RecordSet.reset();
    return ok;
}

// ---- record-set accessors ----

void MoveToRow(const TRecordSet& rs, int32_t row) {
    if (!rs || row <= 0)
        return;
    try {
        rs->MoveFirst();
        if (!rs->AtEOF())
            rs->Move(row - 1);
    } catch (const EADOError&) {
    }
}

bool HasRecordSet(const TRecordSet& rs) {
    try {
        return rs && rs->RecordCount() > -2;
    } catch (const EADOError&) {
        return false;
    }
}

int32_t RowCount(const TRecordSet& rs) {
    try {
        return rs ? rs->RecordCount() : -1;
    } catch (const EADOError&) {
        return -1;
    }
}

int32_t FieldCount(const TRecordSet& rs) {
    try {
        return rs ? rs->FieldCount() : -1;
    } catch (const EADOError&) {
        return -1;
    }
}

std::string FieldName(const TRecordSet& rs, int32_t col) {
    if (!rs)
        return "Object required.";
    try {
        return Trim(rs->Name(col - 1));
    } catch (const EADOError& e) {
        return e.what();
    }
}

std::string FieldText(const TRecordSet& rs, int32_t row, int32_t col) {
    MoveToRow(rs, row);
    if (!rs || rs->AtEOF() || FieldCount(rs) < col)
        return {};
    try {
        return Trim(rs->Value(col - 1).Text());
    } catch (const EADOError&) {
        return {};
    }
}

int32_t FieldInt(const TRecordSet& rs, int32_t row, int32_t col) {
    return StrToIntDef(FieldText(rs, row, col), 0);
}

int32_t FieldType(const TRecordSet& rs, int32_t row, int32_t col) {
    if (!rs)
        return 0;
    if (row > 0)
        MoveToRow(rs, row);
    try {
        return rs->Type(col - 1);
    } catch (const EADOError&) {
        return 0;
    }
}

std::string FieldTypeLetter(const TRecordSet& rs, int32_t row, int32_t col) {
    switch (FieldType(rs, row, col)) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 14:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 131:
    case 139:
        return "n";
    case 0:
    case 8:
    case 129:
    case 130:
    case 200:
    case 201:
    case 202:
    case 203:
        return "c";
    case 7:
    case 64:
    case 133:
    case 134:
    case 135:
    case 137:
        return "d";
    default:
        return "s";
    }
}

bool IsBOF(const TRecordSet& rs) {
    return !rs || !rs->IsOpen() || rs->AtBOF();
}
bool IsEOF(const TRecordSet& rs) {
    return !rs || !rs->IsOpen() || rs->AtEOF();
}

void MoveNext(const TRecordSet& rs) {
    if (!IsEOF(rs))
        rs->MoveNext();
}

void MovePrior(const TRecordSet& rs) {
    if (rs && rs->IsOpen() && !rs->AtBOF())
        rs->MovePrevious();
}

int32_t CurrentRow(const TRecordSet& rs) {
    return IsBOF(rs) || IsEOF(rs) ? 0 : rs->AbsolutePosition();
}

// ---- literals and expressions ----

std::string QuoteSQLString(const std::string& value, uint8_t quoteStyle) {
    if (value.empty())
        return "null";
    if (quoteStyle == 0)
        return "'" + Replace(value, "'", "''") + "'";
    auto piece = [quoteStyle](int code) {
        const std::string c = std::to_string(code);
        if (quoteStyle == 1)
            return "'||CHR(" + c + ")||'";
        if (quoteStyle == 2)
            return "'+CHR(" + c + ")+'";
        return "'+CHAR(" + c + ")+'";
    };
    return "'" +
           Replace(Replace(Replace(value, "'", piece(39)), "\r", piece(13)), "\n", piece(10)) + "'";
}

std::string DateExpr(const std::string& x, uint8_t serverType) {
    if (serverType == Jet)
        return "Format(" + x + ",\"dd.mm.yyyy\")";
    if (serverType == SqlServer)
        return "CONVERT(varchar(10)," + x + ",104)";
    if (serverType == Oracle)
        return "TO_CHAR(" + x + ",'dd.mm.yyyy','NLS_DATE_LANGUAGE=GERMAN')";
    return x;
}

std::string TimeExpr(const std::string& x, uint8_t serverType) {
    if (serverType == Jet)
        return "Format(" + x + ",\"hh:mm\")";
    if (serverType == SqlServer)
        return "CONVERT(varchar(5)," + x + ",8)";
    if (serverType == Oracle)
        return "TO_CHAR(" + x + ",'hh24:mi','NLS_DATE_LANGUAGE=GERMAN')";
    return x;
}

std::string DateTimeExpr(const std::string& x, uint8_t serverType) {
    if (serverType == Jet)
        return "Format(" + x + ",'dd.mm.yyyy hh:nn')";
    if (serverType == Oracle)
        return "TO_CHAR(" + x + ",'dd.mm.yyyy hh24:mi','NLS_DATE_LANGUAGE=GERMAN')";
    return DateExpr(x, serverType) + "+' '+" + TimeExpr(x, serverType);
}

std::string QueryToXML(TSQLADOServer& server, const std::string& text, uint8_t option) {
    TCSVFile file;
    file.OutputFormat = 2;
    file.AnsiText = false;
    file.NumberRecords = option != 0;
    file.Declaration = "standalone=\"yes\"";
    file.LoadFromSQL(&server, text, true);
    file.FormatTable();
    return file.Text();
}

} // namespace orvendal
