#include "exchange/Schema.h"

#include <utility>

namespace orvendal::schema {

namespace {
constexpr const char* kMBlobColumns = "Id,AuftragId,FeldId,FeldValue,Created,Creator,Status";
} // namespace

const std::string CreateMBlob =
    "CREATE TABLE MBlob (Id INT NOT NULL CONSTRAINT pk_Blob_Id PRIMARY KEY,AuftragId INT NOT "
    "NULL,FeldId INT NOT NULL,FeldValue VARCHAR(255),Status CHAR(1),FeldBlob IMAGE,Created "
    "SMALLDATETIME NOT NULL,Creator SMALLINT NOT NULL,CONSTRAINT u_Data UNIQUE "
    "(AuftragId,FeldId,FeldValue))";
const std::string CreateSysData = "CREATE TABLE SysData (Id SMALLINT NOT NULL CONSTRAINT "
                                  "pk_Dev_Id PRIMARY KEY,SysValue VARCHAR(255),LastEdit "
                                  "SMALLDATETIME)";
const std::string CreateMAuftrag =
    "CREATE TABLE MAuftrag (AuftragId INT NOT NULL CONSTRAINT pk_Auftrag_Id PRIMARY "
    "KEY,Project SMALLINT NOT NULL,MobilApp SMALLINT NOT NULL,AuftragBez VARCHAR(255) NOT "
    "NULL,Status CHAR(1) NOT NULL,Termin SMALLDATETIME,Route VARCHAR(25))";
const std::string CreateMValues =
    "CREATE TABLE MValues (Id INT NOT NULL CONSTRAINT pk_val_Id PRIMARY KEY,Class SMALLINT NOT "
    "NULL,MValue VARCHAR(255) NOT NULL,Bezeichnung VARCHAR(100) NOT NULL,Reihe SMALLINT NOT "
    "NULL)";

const std::vector<const std::string*>& MobilStatements() {
    static const std::vector<const std::string*> statements = {&CreateMBlob, &CreateSysData,
                                                               &CreateMAuftrag, &CreateMValues};
    return statements;
}
const std::string CreateExportData =
    "CREATE TABLE ExportData (Id INT NOT NULL CONSTRAINT pk_EData_Id PRIMARY KEY,AuftragId INT "
    "NOT NULL,FeldId INT NOT NULL,FeldValue VARCHAR(255),FeldBlob IMAGE,Created SMALLDATETIME "
    "NOT NULL,Creator SMALLINT NOT NULL)";

const std::string MBlobColumns = kMBlobColumns;

namespace {

// Table name and column list, in copy order.
const std::vector<std::pair<std::string, std::string>>& Tables() {
    static const std::vector<std::pair<std::string, std::string>> tables = {
        {"MApplication",
         "Id,MobilApp,Step,NextStep,ControlTyp,PControlTyp,ControlValue,ControlLabel,ControlLeft,"
         "ControlTop,ControlWidth,ControlHeight,FontSize,FontColor,FeldId,StepResult,ControlAlign,"
         "Validation,InvalidMsg,TabOrder"},
        {"MAuftrag", "AuftragId,Project,MobilApp,AuftragBez,Status,Termin,Route"},
        {"MData", "AuftragId,FeldId,FeldValue,Status"},
        {"Monteure", "MonteurId,Monteur"},
        {"MMaterial", "MatId,MatKatId,PosNr,Bezeichnung,Hersteller,ArtNr,ME,Bemerkung"},
        {"MProjectLV",
         "ProjectLVId,ProjectId,Abrechnung,ProjectLVPos,Bezeichnung,ME,Menge,DetailText"},
        {"MValues", "Id,Class,MValue,Bezeichnung,Reihe"},
        {"SysData", "Id,SysValue"},
        {"MBlob", kMBlobColumns},
    };
    return tables;
}

} // namespace

const std::vector<std::string>& ImportTables() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> result;
        for (const auto& [name, columns] : Tables())
            result.push_back(name);
        return result;
    }();
    return names;
}

std::string ColumnList(const std::string& table) {
    for (const auto& [name, columns] : Tables())
        if (name == table)
            return columns;
    return "*";
}

} // namespace orvendal::schema
