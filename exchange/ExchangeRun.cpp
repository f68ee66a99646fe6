#include "exchange/ExchangeRun.h"

#include "device/WinCE.h"
#include "exchange/Schema.h"
#include "photo/VelBlob.h"
#include "protect/KeyList.h"
#include "protect/ZLibStream.h"
#include "tables/UserFkt.h"
#include "tables/XMLProc.h"
#include "transport/VelHTTP.h"
#include "transport/VelMail.h"
#include "view/Progress.h"

#include <filesystem>
#include <fstream>

namespace orvendal {
namespace {

const char* const kDesktopDevice = "Übertragen der Datenbanken zwischen Desktop und Pocket-PC";

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

bool IsInteger(const std::string& text) {
    return StrToIntDef(text, 0) != 0 || StrToIntDef(text, 1) != 1;
}

// Two hexadecimal digits per byte, high digit first; an odd last digit is ignored.
void DecodeHex(const std::string& hex, TMemoryStream& out) {
    std::vector<uint8_t> bytes(hex.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] =
            static_cast<uint8_t>(16 * HexDigitValue(hex[2 * i]) + HexDigitValue(hex[2 * i + 1]));
    out.Write(bytes.data(), bytes.size());
}

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ',';
        out += items[i];
    }
    return out;
}

} // namespace

std::string ProgressText(const std::string& step) {
    return step + "... - Bitte warten!";
}

std::string TableFileName(const std::string& name, bool packed) {
    return name + ".xm" + (packed ? "_" : "l");
}

TExchangeRun::TExchangeRun(TExchangeContext& context) : ctx_(context) {
    exportDb_.SetServerType(Jet);
    mobileDb_.SetServerType(Jet);
}

TExchangeRun::~TExchangeRun() = default;

void TExchangeRun::ShowProgress(const std::string& text) {
    orvendal::ShowProgress(*ctx_.View, text);
}

// Every information message of the run reports a failed step.
void TExchangeRun::ShowInfo(const std::string& text) {
    ctx_.Result.Failed = true;
    orvendal::ShowInfo(*ctx_.View, text);
}

void TExchangeRun::Execute() {
    ctx_.Result = {};
    proceed_ = !ctx_.CurrentDevice.empty();
    deviceAttached_ = true;
    if (proceed_ && ctx_.PocketPC) {
        ReadDeviceExport();
    }
    if (!proceed_) {
        return;
    }
    ServerSteps();
    if (ctx_.PocketPC) {
        Import();
    }
    ctx_.Result.Completed = true;
}

void TExchangeRun::OpenMobileDatabase() {
    mobileDb_.DataSource = ctx_.WorkDir + "mobil.mdb";
    if (mobileDb_.Connect()) {
        return;
    }
    // A desktop copy that exists but does not open is reported, never replaced.
    if (FileExists(mobileDb_.DataSource) || !mobileDb_.CreateDatabase() || !mobileDb_.Connect()) {
        ctx_.View->MessageBox(TMsgKind::Error,
                              "Die Datenbank " + mobileDb_.DataSource +
                                  " kann nicht geöffnet werden: " + mobileDb_.LastError);
        return;
    }
    for (const std::string* statement : schema::MobilStatements()) {
        mobileDb_.ExecSQL(*statement);
    }
}

void TExchangeRun::ReadDeviceExport() {
    ShowProgress(ProgressText(kDesktopDevice));
    OpenMobileDatabase();
    const std::string xmlFile = ctx_.WorkDir + "ExportData.xml";
    if (!CopyFileFromDevice(xmlFile, ctx_.DeviceDir + "ExportData.xm_")) {
        proceed_ = ctx_.View->MessageBox(
            TMsgKind::Confirmation,
            "Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang fortsetzen?");
        deviceAttached_ = false;
        ctx_.Result.Docked = false;
        return;
    }
    if (FillExportDatabase()) {
        CheckIdentity();
    }
    ctx_.Result.RowsExported = std::max(0, exportDb_.CountRows("ExportData", ""));
    exportDb_.Disconnect();
    if (!proceed_) {
        RemoveFile(exportDb_.DataSource);
    }
    RemoveFile(xmlFile);
    ctx_.WebTransfer = false;
}

// A device export that does not inflate or load stops the run before anything is sent, so the
// user can dock again and retry; the file on the handheld stays as it was.
bool TExchangeRun::FillExportDatabase() {
    const std::string xmlFile = ctx_.WorkDir + "ExportData.xml";
    exportDb_.DataSource = ctx_.WorkDir + "export.mdb";
    exportDb_.Scratch = true; // made new by every run
    try {
        InflateFile(xmlFile);
    } catch (const std::exception& e) {
        ctx_.View->MessageBox(TMsgKind::Error,
                              std::string("Der Geräte-Export kann nicht gelesen werden: ") +
                                  e.what());
        proceed_ = false;
        return false;
    }
    RemoveFile(exportDb_.DataSource);
    if (!exportDb_.CreateDatabase() || !exportDb_.Connect()) {
        return false;
    }
    if (!exportDb_.ExecSQL(schema::CreateExportData)) {
        return true;
    }
    TXMLModul table;
    if (!table.LoadFromFile(xmlFile)) {
        ctx_.View->MessageBox(TMsgKind::Error, "Der Geräte-Export kann nicht gelesen werden: " +
                                                   table.LastErrorText());
        proceed_ = false;
        return false;
    }
    return EnterExportRows(table);
}

// Each database takes all rows in one transaction; a refused row is reported and left out
// inside it, the others stay.
bool TExchangeRun::EnterExportRows(TXMLModul& table) {
    const bool photoBulk = mobileDb_.Connected && mobileDb_.BeginTransaction();
    const bool exportBulk = exportDb_.BeginTransaction();
    {
        TStepProgress progress(*ctx_.View, table.RowCount());
        for (int r = 1; r <= table.RowCount(); ++r) {
            EnterExportRow(table, r);
            progress.Step();
        }
    }
    const bool photosSaved = !photoBulk || mobileDb_.Commit();
    const bool exportSaved = !exportBulk || exportDb_.Commit();
    if (!photosSaved || !exportSaved) {
        ctx_.View->MessageBox(TMsgKind::Error,
                              std::string("Der Geräte-Export kann nicht gespeichert werden (") +
                                  (photosSaved ? "export.mdb" : "mobil.mdb") + ").");
        proceed_ = false;
        return false;
    }
    return true;
}

void TExchangeRun::EnterExportRow(TXMLModul& table, int r) {
    const int n = table.FieldCount(r);
    std::vector<std::string> columns;
    std::vector<std::string> values;
    std::vector<std::string> blobRowValues; // the same values without FeldBlob, for MBlob
    TMemoryStream blob;
    for (int c = 1; c <= n; ++c) {
        const std::string name = table.GetName(r, c);
        const std::string value = table.GetValue(r, c);
        std::string rendered;
        if (c <= 3 || c == n) {
            // Unquoted into the statement: only numbers may pass.
            if (!IsInteger(value)) {
                ctx_.View->MessageBox(TMsgKind::Error, "Der Datensatz " + std::to_string(r) +
                                                           " des Geräte-Exports enthält im Feld " +
                                                           name + " keine Zahl: " + value);
                return;
            }
            rendered = Trim(value);
        } else if (c == n - 1) {
            rendered = QuoteSQLString(value, 0);
        } else if (name == "FeldBlob") {
            DecodeHex(value, blob);
            columns.push_back(name);
            values.emplace_back("null");
            continue;
        } else {
            rendered = QuoteSQLString(value, 2);
        }
        columns.push_back(name);
        values.push_back(rendered);
        blobRowValues.push_back(rendered);
    }
    if (!exportDb_.Insert("ExportData", Join(columns), Join(values))) {
        ctx_.View->MessageBox(TMsgKind::Error, exportDb_.LastError);
    } else if (blob.Size() > 0) {
        exportDb_.WriteBlob("ExportData", "FeldBlob",
                            "Id=" + std::to_string(StrToIntDef(table.GetValue(r, 1), 0)), blob);
    }
    const int feldId = StrToIntDef(table.GetValue(r, 3), 0);
    const std::string idCondition = "Id=" + std::to_string(StrToIntDef(table.GetValue(r, 1), 0));
    if (feldId >= 50 && feldId <= 79 && mobileDb_.CountRows("MBlob", idCondition) == 0 &&
        !mobileDb_.Insert("MBlob", schema::MBlobColumns, Join(blobRowValues) + ",'0'")) {
        ctx_.View->MessageBox(TMsgKind::Error, mobileDb_.LastError);
    }
}

void TExchangeRun::CheckIdentity() {
    if (exportDb_.CountRows("ExportData", "FeldId=0") <= 0) {
        return;
    }
    proceed_ = exportDb_.CountRows("ExportData", "FeldId=0 and FeldValue=" +
                                                     QuoteSQLString(ctx_.CurrentDevice, 0)) > 0;
    if (!proceed_) {
        ShowInfo("Bitte schließen Sie das korrekte Gerät an!");
    }
}

void TExchangeRun::ServerSteps() {
    ChooseTransport();
    SendExport();
    SendPhotos();
    FetchImport();
    http_.reset();
    mail_.reset();
}

void TExchangeRun::ChooseTransport() {
    http_ = std::make_unique<TVelHTTP>();
    http_->ServerUrl = ctx_.TransferAddress;
    http_->DeviceKey = ctx_.DeviceNumber;
    http_->ProxySpec = ctx_.CurrentProxy == "-" ? "" : ctx_.CurrentProxy;
    TKeyList keys; // device key 19: a CA file trusted for https besides the system's store
    if (ctx_.Settings != nullptr)
        keys.Load(*ctx_.Settings);
    http_->Client.CAFile = Trim(keys.Value("19"));
    std::string reply;
    http_->CheckService(reply);
    if (!reply.empty()) {
        ctx_.Result.Transport = "HTTP";
        return;
    }
    http_.reset();
    mail_ = std::make_unique<TVelMail>();
    mail_->LoadSettings(*ctx_.Settings);
    ctx_.Result.Transport = "Mail";
}

std::string TExchangeRun::TransportFailure(const std::string& verb, const std::string& prefix,
                                           const std::string& errorText) const {
    return "Fehlermeldung beim " + prefix + verb + " der Daten: " + errorText;
}

void TExchangeRun::SendExport() {
    ShowProgress(ProgressText("Versand der Geräte-Daten"));
    if (ctx_.WebTransfer) {
        return;
    }
    if (http_ && !http_->SendFile(false, ctx_.WorkDir + "export.mdb")) {
        ShowInfo(TransportFailure("Versand", http_->MessagePrefix, http_->ErrorText));
    } else if (mail_ && !mail_->SendData(false, "", "")) {
        ShowInfo(TransportFailure("Versand", mail_->MessagePrefix, mail_->ErrorText));
    }
}

void TExchangeRun::SendPhotos() {
    if (!mobileDb_.Connect()) {
        return;
    }
    TVelBlob photos;
    photos.View = ctx_.View;
    photos.WorkDir = ctx_.WorkDir;
    photos.Server = &mobileDb_;
    photos.StatusLabel = "Label1";
    photos.Mail = mail_.get();
    photos.Http = http_.get();
    const int sentBefore = mobileDb_.CountRows("MBlob", "Status='3'");
    photos.SendPhotos();
    ctx_.Result.PhotosSent = std::max(0, mobileDb_.CountRows("MBlob", "Status='3'") - sentBefore);
    mobileDb_.Disconnect();
}

void TExchangeRun::FetchImport() {
    ShowProgress(ProgressText("Abruf der Server-Daten"));
    if (http_ && !http_->ReceiveFile(ctx_.WorkDir + "import.mdb", deviceAttached_)) {
        ShowInfo(TransportFailure("Abrufen", http_->MessagePrefix, http_->ErrorText));
    } else if (mail_ && !mail_->ReceiveData()) {
        ShowInfo(TransportFailure("Abrufen", mail_->MessagePrefix, mail_->ErrorText));
    }
}

void TExchangeRun::Import() {
    RemoveFile(ctx_.WorkDir + "export.mdb");
    const std::string importFile = ctx_.WorkDir + "import.mdb";
    if (!FileExists(importFile)) {
        return;
    }
    ShowProgress(ProgressText(kDesktopDevice));
    exportDb_.DataSource = importFile;
    exportDb_.Scratch = false;
    if (!exportDb_.Connect()) {
        ShowInfo("Die Server-Daten können nicht gelesen werden: " + exportDb_.LastError);
        return;
    }
    bool allCopied = true;
    {
        TStepProgress progress(*ctx_.View, static_cast<int>(schema::ImportTables().size()));
        for (const std::string& table : schema::ImportTables()) {
            if (!CopyTableToDevice(table)) {
                allCopied = false;
                break;
            }
            ++ctx_.Result.TablesWritten;
            progress.Step();
        }
    }
    // The answer stays for the next run until the desktop copy has taken it, too.
    bool merged = false;
    if (!mobileDb_.Connect()) {
        ShowInfo("Die Server-Daten wurden nicht in " + mobileDb_.DataSource +
                 " übernommen: " + mobileDb_.LastError);
    } else {
        merged = MergeSysData() &&
                 MergeTable("MAuftrag", "AuftragId,Project,MobilApp,AuftragBez,Status,Termin,Route",
                            "iiitttt") &&
                 MergeTable("MValues", "Id,Class,MValue,Bezeichnung,Reihe", "iitti") &&
                 MergeMBlob();
    }
    exportDb_.Disconnect();
    if (allCopied && merged) {
        RemoveFile(importFile);
    }
}

bool TExchangeRun::CopyTableToDevice(const std::string& table) {
    try {
        const std::string statement = "SELECT " + schema::ColumnList(table) + " FROM " + table +
                                      " WHERE 0=0" +
                                      (table == "MApplication" ? " ORDER BY MobilApp" : "");
        const std::string text = QueryToXML(exportDb_, statement, 0);
        // A table whose query failed holds its error message: it stays here, never replacing
        // the table file on the handheld.
        const bool queried = !exportDb_.Failed;
        const std::string localFile = ctx_.WorkDir + TableFileName(table, false);
        std::ofstream(localFile, std::ios::binary) << text;
        if (queried && (CopyFileToDevice(localFile, ctx_.DeviceDir + TableFileName(table, false)) ||
                        ctx_.WebTransfer)) {
            RemoveFile(localFile);
            return true;
        }
        ShowInfo("Fehler beim Datenaustausch zwischen Desktop und Pocket-PC (Tabelle " + table +
                 ")");
    } catch (const std::exception&) {
    }
    return false;
}

// A merge either completes or leaves the desktop copy as it was; a failure of the database
// shows its message. The commit runs as a statement, so that its failure keeps the message.
bool TExchangeRun::InTransaction(const std::string& table, const std::function<bool()>& work) {
    if (mobileDb_.BeginTransaction() && work() && mobileDb_.ExecSQL("COMMIT")) {
        return true;
    }
    const std::string message = mobileDb_.LastError;
    mobileDb_.Rollback();
    ctx_.View->MessageBox(TMsgKind::Error, "Die Tabelle " + table + " wurde nicht in " +
                                               mobileDb_.DataSource + " übernommen: " + message);
    return false;
}

// A row the database refuses for its values (a constraint) is skipped; any other failure is
// one of the database itself.
bool TExchangeRun::RowDone(bool ok) const {
    return ok || mobileDb_.Refused;
}

namespace {

// One value list from row r of rs: 'i' renders an integer, 't' a text literal.
std::string RowValues(const TRecordSet& rs, int r, const std::string& kinds) {
    std::vector<std::string> values;
    for (size_t k = 0; k < kinds.size(); ++k) {
        const int col = static_cast<int>(k) + 1;
        values.push_back(kinds[k] == 'i' ? std::to_string(FieldInt(rs, r, col))
                                         : QuoteSQLString(FieldText(rs, r, col), 2));
    }
    return Join(values);
}

} // namespace

// The answer's settings rows fill only a desktop copy that holds fewer than three.
bool TExchangeRun::MergeSysData() {
    return mobileDb_.CountRows("SysData", "") >= 3 ||
           MergeTable("SysData", "Id,SysValue", "it", "Id>7", "Id");
}

bool TExchangeRun::MergeTable(const std::string& table, const std::string& columns,
                              const char* kinds, const std::string& where,
                              const std::string& orderBy) {
    if (!exportDb_.Select(columns, table, where, orderBy, result_)) {
        return true;
    }
    int merged = 0;
    const bool committed = InTransaction(table, [&] {
        if (!mobileDb_.Delete(table, "")) {
            return false;
        }
        TStepProgress progress(*ctx_.View, RowCount(result_));
        for (int r = 1; r <= RowCount(result_); ++r) {
            const bool ok = mobileDb_.Insert(table, columns, RowValues(result_, r, kinds));
            if (!RowDone(ok)) {
                return false;
            }
            merged += ok;
            progress.Step();
        }
        return true;
    });
    Merged(table, committed ? merged : 0);
    return committed;
}

bool TExchangeRun::MergeMBlob() {
    if (!exportDb_.Select(schema::MBlobColumns, "MBlob", "", "", result_)) {
        return true;
    }
    int merged = 0;
    const bool committed = InTransaction("MBlob", [&] {
        TStepProgress progress(*ctx_.View, RowCount(result_));
        for (int r = 1; r <= RowCount(result_); ++r, progress.Step()) {
            const std::string condition =
                "(AuftragId=" + std::to_string(FieldInt(result_, r, 2)) +
                ") and (FeldId=" + std::to_string(FieldInt(result_, r, 3)) +
                ") and Id=" + std::to_string(FieldInt(result_, r, 1));
            const bool removed = FieldText(result_, r, 7) == "2";
            const int32_t matches = mobileDb_.CountRows("MBlob", condition);
            bool ok = matches >= 0;
            if (matches > 0) {
                ok = removed
                         ? mobileDb_.Delete("MBlob", condition)
                         : mobileDb_.Update("MBlob", "Status='2'", condition + " and Status='3'");
            } else if (matches == 0 && !removed) {
                ok = mobileDb_.Insert("MBlob", schema::MBlobColumns,
                                      RowValues(result_, r, "iiitti") + ",'0'");
            }
            if (!RowDone(ok)) {
                return false;
            }
            merged += ok;
        }
        return true;
    });
    Merged("MBlob", committed ? merged : 0);
    return committed;
}

// Counts for the run's result: of the rows just read from "import.mdb", merged went in.
void TExchangeRun::Merged(const std::string& table, int merged) {
    ctx_.Result.RowsMerged[table] = merged;
    ctx_.Result.RowsRefused += std::max(0, RowCount(result_) - merged);
}

} // namespace orvendal
