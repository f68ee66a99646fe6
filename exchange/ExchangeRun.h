#pragma once
// The data exchange for one device: the handheld's export into "export.mdb", the identity check,
// the server steps (send, photos, fetch) and the import of "import.mdb" onto the handheld and
// into "mobil.mdb". The main window runs it between its operation preamble and final text.

#include "db/SQLADO.h"
#include "exchange/ExchangeResult.h"
#include "protect/Streams.h"
#include "view/View.h"

#include <functional>
#include <memory>
#include <string>

namespace orvendal {

class TVelHTTP;
class TVelMail;

// What the run needs of the main window: the loaded device settings and the screen.
struct TExchangeContext {
    TView* View = nullptr;
    std::string WorkDir;         // working folder, ends with "/"
    std::string DeviceDir;       // device folder on the handheld, ends with "\"
    std::string CurrentDevice;   // device identity (settings key "1")
    std::string DeviceNumber;    // settings key "7"
    std::string TransferAddress; // settings key "8"
    std::string CurrentProxy;    // "host:port", "-" for none, or empty
    bool WebTransfer = false;    // cleared once the device's export has been read
    bool PocketPC = false;
    TMemoryStream* Settings = nullptr; // the device's enciphered settings file
    TExchangeResult Result;            // filled by the run
};

// Progress line format shared by every operation: "%s... - Bitte warten!".
std::string ProgressText(const std::string& step);

// "name.xml" for a plain table file, "name.xm_" for a packed one.
std::string TableFileName(const std::string& name, bool packed);

class TExchangeRun {
public:
    explicit TExchangeRun(TExchangeContext& context);
    ~TExchangeRun();

    // Runs the device export, the server steps and the import, in this order, as far as the
    // device settings and the answers to the confirmations allow.
    void Execute();

    // One table of "import.mdb" as an XML table file onto the handheld; false when its copy
    // failed and the failure was reported (or an error stopped it).
    bool CopyTableToDevice(const std::string& table);

private:
    void ShowProgress(const std::string& text);
    void ShowInfo(const std::string& text);
    void OpenMobileDatabase();
    void ReadDeviceExport();
    bool FillExportDatabase();
    bool EnterExportRows(class TXMLModul& table);
    void EnterExportRow(class TXMLModul& table, int row);
    void CheckIdentity();
    void ServerSteps();
    void ChooseTransport();
    void SendExport();
    void SendPhotos();
    void FetchImport();
    std::string TransportFailure(const std::string& verb, const std::string& prefix,
                                 const std::string& errorText) const;
    void Import();
    // The merges into "mobil.mdb": false when the database failed and the table was rolled
    // back (the message was shown).
    bool MergeSysData();
    // The table's rows of "import.mdb" (those of where, in orderBy) replace the desktop copy's.
    bool MergeTable(const std::string& table, const std::string& columns, const char* kinds,
                    const std::string& where = "", const std::string& orderBy = "");
    bool MergeMBlob();
    bool InTransaction(const std::string& table, const std::function<bool()>& work);
    bool RowDone(bool ok) const;
    void Merged(const std::string& table, int merged);

    TExchangeContext& ctx_;
    TSQLADOServer exportDb_; // "export.mdb", later "import.mdb"
    TSQLADOServer mobileDb_; // "mobil.mdb"
    TRecordSet result_;
    bool proceed_ = false;
    bool deviceAttached_ = true;
    std::unique_ptr<TVelHTTP> http_;
    std::unique_ptr<TVelMail> mail_;
};

} // namespace orvendal
