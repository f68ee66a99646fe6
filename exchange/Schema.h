#pragma once
// The tables that the desktop creates and exchanges: the CREATE TABLE statements (sent as they
// stand through ExecSQL) and the column lists read from "import.mdb", in copy order.

#include <string>
#include <vector>

namespace orvendal::schema {

// Statements for "mobil.mdb", run in this order after the file was created.
extern const std::string CreateMBlob;
extern const std::string CreateSysData;
extern const std::string CreateMAuftrag;
extern const std::string CreateMValues;
// All four, in that order.
const std::vector<const std::string*>& MobilStatements();
// Statement for the fresh "export.mdb".
extern const std::string CreateExportData;

// The nine import tables in the order they are copied: MApplication, MAuftrag, MData, Monteure,
// MMaterial, MProjectLV, MValues, SysData, MBlob.
const std::vector<std::string>& ImportTables();
// The comma-separated column list of an import table (never FeldBlob); "*" for other names.
std::string ColumnList(const std::string& table);
// The columns of MBlob that travel: "Id,AuftragId,FeldId,FeldValue,Created,Creator,Status".
extern const std::string MBlobColumns;

} // namespace orvendal::schema
