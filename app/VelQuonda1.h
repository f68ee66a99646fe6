#pragma once
// The main window's logic: start-up, the program and device settings files, the device table,
// the proxy setting and the frame that every operation runs in. It reaches the screen only
// through a TView, so the Qt window, the console front end and the tests drive the same code.
//
// Components (form names): RadioGroup1 (device list), Label1 (status line), Label2 (version),
// BitBtn1 exchange, BitBtn2 photo assignment, BitBtn3 support, BitBtn4 manual update (hidden),
// CloseBtn, SpeedButton1 photo settings, SpeedButton2 proxy; "Form" is the window caption.

#include "exchange/ExchangeResult.h"
#include "protect/Streams.h"
#include "tables/XMLProc.h"
#include "transport/HttpClient.h"
#include "view/View.h"

#include <functional>
#include <memory>
#include <string>

namespace orvendal {

class TVelMail;
class TVelHTTP;

class TForm1 {
public:
    // programFile: the program's full path; its folder is the program folder and its settings
    // file is ProgramSettingsPath(programFile). Empty: DefaultProgramFile().
    explicit TForm1(TView& view, const std::string& programFile = "");
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    TView& View;
    std::string ApplicationTitle = "Orvendal";
    std::string ProgramFile;
    std::string ProgramFolder;    // folder of ProgramFile, with trailing "/"
    TMemoryStream SettingsStream; // raw, still enciphered content of the settings read last
    TMemoryStream ListStream;     // downloads: the device list, the manual archive
    THttpClient Http;             // settings server and manual download; no proxy
    std::unique_ptr<TXMLModul> DeviceTable; // fields: 1 identity, 2 name, 3 number, 4 type, 5 file
    std::string CurrentDevice;   // site name after start-up; in an operation field 3, then key "1"
    std::string SettingsListUrl; // program key "5": the device list on the settings server
    std::string DeviceSettingsPattern; // program key "6": one device's settings, "%d" = number
    std::string DeviceFolder;          // device key "3": path prefix on the handheld
    std::string WorkDir;               // device key "4": desktop working folder
    std::string DeviceNumber;          // device key "7"
    std::string TransferUrl;           // device key "8": the HTTP transfer server
    std::string CurrentProxy;          // "host:port"; "-" = no proxy; in memory only
    bool WebTransfer = false;          // key "8" of the device loaded last is non-empty
    bool Offline = false;              // a settings file failed to read: "*.ini" files from now on
    TVelMail* VelMail = nullptr;       // transports of the current exchange run, not owned
    TVelHTTP* VelHTTP = nullptr;
    TPhotoSettingsForm PhotoSettings; // the photo settings dialog's texts, kept between openings
    // The last exchange, support dispatch or manual update went to its end without a failed
    // step (message boxes are the view's to count); what the last exchange run did.
    bool Succeeded = false;
    TExchangeResult LastExchange;

    // Start-up: program settings, caption, version text, device table and radio group.
    void FormCreate();
    // Frees what the window owns.
    void FormDestroy();
    // index < 0: the program settings file. index >= 0: the settings of device number index
    // (online) or of the selected radio-group row (offline). Read errors set Offline and leave
    // the keys empty; the working folder (key "4") is created with its parents.
    void LoadDeviceSettings(int index);
    // Builds the device table (offline from the "*.ini" files in name order, online from the
    // settings server) and the radio group; enables the operations when there is a device.
    void FillDeviceList();
    // Status line text, then one repaint.
    void ShowProgress(const std::string& text);
    // Information box with the normal cursor; the hourglass returns afterwards.
    void ShowInfo(const std::string& text);
    // The proxy dialog; the text entered becomes CurrentProxy.
    void SpeedButton2Click();

    // The operations. Each runs inside RunOperation.
    void BitBtn1Click();      // data exchange
    void BitBtn2Click();      // photo assignment
    void BitBtn3Click();      // support dispatch
    void BitBtn4Click();      // manual update
    void SpeedButton1Click(); // photo settings

    // Disables the operation buttons and CloseBtn, shows the hourglass, takes field 3 of the
    // selected row as CurrentDevice and loads that device's settings. Returns IsPocketPC.
    bool OperationPreamble();
    // Normal cursor; CloseBtn and the operation buttons enabled again.
    void OperationEpilogue();
    // Runs body; an error that nothing inside caught is shown in an error box with its text.
    // The epilogue runs in every case, so the window never stays locked. Succeeded is false
    // unless body sets it.
    void RunOperation(const std::function<void()>& body);

    // Row of the selected radio-group item (1-based); 0 when nothing is selected.
    int SelectedRow();
    // Field of the device table, "" when out of range or when there is no table.
    std::string DeviceField(int row, int field) const;
    // Row whose device number (field 3, trimmed) is number; 0 when there is none.
    int FindDevice(const std::string& number) const;
    // The device of row is a Pocket PC: type (field 4) 3, 4 or 5; false when row 1 has no
    // more than 3 fields.
    bool IsPocketPC(int row) const;

    // The program path with its extension (if any) replaced by ".ini"; dots in folder names
    // do not count: /opt/orvendal/orvendal -> /opt/orvendal/orvendal.ini.
    static std::string ProgramSettingsPath(const std::string& programFile);
    // "orvendal" beside the running program; for an installed program (in PREFIX/bin) in the
    // settings folder PREFIX/etc/orvendal/, which is /etc/orvendal/ for the package (/usr/bin).
    static std::string DefaultProgramFile();
    // The pattern with its first "%d" replaced by number and "%%" by "%"; other characters,
    // '%' included, stay as they are (the pattern comes from a file, never from printf).
    static std::string DeviceSettingsUrl(const std::string& pattern, int number);
    // Height and column count of the radio group for n devices.
    static std::pair<int, int> RadioGroupLayout(int n);
    // Label2: product name, version and copyright of the program.
    static std::string VersionText();

private:
    // Loads the settings of the selected device (of CurrentDevice when none is selected).
    void LoadSelectedDevice();
    // Opens the selected device's "mobil.mdb"; an error box with the reason when that fails.
    bool ConnectMobil(TSQLADOServer& db);
    // Raises when the loaded device names no working folder (key "4"): its files would land in
    // whatever folder the program was started from.
    void RequireWorkDir() const;
    void UpdateSysValue(TSQLADOServer& db, int id, const std::string& assignment);
    void FillFromFolder();
    void FillFromServer();
    void LoadSettingsStream(int index);
};

} // namespace orvendal
