#include "app/VelQuonda1.h"

#include "db/SQLADO.h"
#include "protect/KeyList.h"
#include "tables/UserFkt.h"

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace orvendal {
namespace {

const char* const OperationButtons[] = {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"};

} // namespace

std::string TForm1::DefaultProgramFile() {
    std::error_code error;
    const fs::path folder = fs::read_symlink("/proc/self/exe", error).parent_path();
    if (folder.filename() != "bin") {
        return (folder / "orvendal").string();
    }
    const fs::path prefix = folder.parent_path();
    return ((prefix == "/usr" ? fs::path("/etc") : prefix / "etc") / "orvendal" / "orvendal")
        .string();
}

TForm1::TForm1(TView& view, const std::string& programFile)
    : View(view), ProgramFile(programFile.empty() ? DefaultProgramFile() : programFile) {
    std::string folder = fs::path(ProgramFile).parent_path().string();
    ProgramFolder = folder.empty() ? "./" : (folder.ends_with('/') ? folder : folder + "/");
}

TForm1::~TForm1() = default;

std::string TForm1::ProgramSettingsPath(const std::string& programFile) {
    return fs::path(programFile).replace_extension(".ini").string();
}

std::string TForm1::DeviceSettingsUrl(const std::string& pattern, int number) {
    std::string url;
    bool numberPlaced = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                url += '%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == 'd' && !numberPlaced) {
                url += std::to_string(number);
                numberPlaced = true;
                ++i;
                continue;
            }
        }
        url += pattern[i];
    }
    return url;
}

std::pair<int, int> TForm1::RadioGroupLayout(int n) {
    if (n <= 7) {
        return {n * 30 + 20, 1};
    }
    return {260, n / 10 + 1};
}

std::string TForm1::VersionText() {
    return VersionValue("", "ProductName") + " Version " + VersionValue("", "FileVersion") + "\n" +
           VersionValue("", "LegalCopyright");
}

void TForm1::FormCreate() {
    DeviceTable = std::make_unique<TXMLModul>();
    Http.UserAgent = "_WebTransfer";
    Offline = false;
    LoadDeviceSettings(-1);
    if (CurrentDevice.empty()) {
        CurrentDevice = ComputerName(); // the site name
    }
    View.SetText("Form", ApplicationTitle + " für mobile Geräte - " + CurrentDevice);
    View.SetText("Label2", VersionText());
    for (const char* button : OperationButtons) {
        View.SetEnabled(button, false);
    }
    View.SetVisible("SpeedButton1", false);
    View.SetVisible("SpeedButton2", false);
    View.SetVisible("RadioGroup1", false);
    View.SetText("Label1", "");
    FillDeviceList();
    CurrentProxy.clear();
}

void TForm1::FormDestroy() {
    DeviceTable.reset();
    ListStream.Clear();
    SettingsStream.Clear();
}

void TForm1::LoadSettingsStream(int index) {
    if (index < 0) {
        SettingsStream.LoadFromFile(ProgramSettingsPath(ProgramFile));
    } else if (!Offline) {
        if (!Http.Get(DeviceSettingsUrl(DeviceSettingsPattern, index), SettingsStream)) {
            throw std::runtime_error(Http.LastError);
        }
    } else if (DeviceTable && DeviceTable->FieldCount(1) > 4) {
        std::string name = Trim(DeviceField(SelectedRow(), 5));
        SettingsStream.LoadFromFile(ProgramFolder + name);
    }
}

void TForm1::LoadDeviceSettings(int index) {
    SettingsStream.Clear();
    try {
        LoadSettingsStream(index);
    } catch (const std::exception&) {
        // Unreadable settings: from now on the program works from the files beside it.
        Offline = true;
        SettingsStream.Clear();
    }
    TKeyList keys;
    SettingsStream.Rewind();
    keys.Load(SettingsStream);
    SettingsStream.Rewind();
    if (index < 0) {
        CurrentDevice = keys.Value("2");
        SettingsListUrl = keys.Value("5");
        DeviceSettingsPattern = keys.Value("6");
        Http.CAFile = Trim(keys.Value("19")); // the settings server's and manual's CA file
        return;
    }
    CurrentDevice = keys.Value("1");
    DeviceFolder = keys.Value("3");
    WorkDir = keys.Value("4");
    if (!WorkDir.empty()) {
        std::error_code error; // a folder that cannot be made shows up at its first file
        fs::create_directories(WorkDir, error);
    }
    TransferUrl = keys.Value("8");
    DeviceNumber = keys.Value("7");
    if (CurrentProxy.empty()) {
        CurrentProxy = keys.Value("17");
        if (!CurrentProxy.empty()) {
            CurrentProxy += ":" + keys.Value("18");
        }
    }
    WebTransfer = !TransferUrl.empty();
}

void TForm1::FillFromFolder() {
    int row = 0;
    try {
        for (const std::string& name : FileNames(
                 ProgramFolder, [](const std::string& file) { return file.ends_with(".ini"); })) {
            SettingsStream.Clear();
            TKeyList keys;
            SettingsStream.LoadFromFile(ProgramFolder + name);
            keys.Load(SettingsStream);
            if (DeviceTable->Open() && !keys.Value("7").empty()) {
                ++row;
                DeviceTable->SetValue(row, 1, keys.Value("1"));
                DeviceTable->SetValue(row, 2, keys.Value("2"));
                DeviceTable->SetValue(row, 3, keys.Value("7"));
                DeviceTable->SetValue(row, 4, keys.Value("8").empty() ? "" : "3");
                DeviceTable->SetValue(row, 5, name);
            }
        }
    } catch (const std::exception&) {
        // The scan ends here; the devices found so far stay listed.
    }
}

void TForm1::FillFromServer() {
    ListStream.Clear();
    std::string reason;
    if (!Http.Get(SettingsListUrl, ListStream)) {
        reason = Http.LastError;
    } else {
        try {
            ListStream.Rewind();
            DeviceTable->LoadFromStream(ListStream);
            return;
        } catch (const std::exception& e) {
            reason = e.what();
        }
    }
    View.MessageBox(TMsgKind::Error,
                    "Gerätedaten können nicht abgerufen werden! Fehlermeldung: " + reason);
}

void TForm1::FillDeviceList() {
    View.SetHourglass(true);
    if (Offline) {
        FillFromFolder();
    } else {
        FillFromServer();
    }
    View.SetItems("RadioGroup1", {});
    // A table that never opened has no rows; the hidden group's size does not matter then.
    const int n = DeviceTable->RowCount();
    auto [height, columns] = RadioGroupLayout(n);
    View.SetRadioLayout("RadioGroup1", height, columns);
    std::vector<std::string> items;
    for (int row = 1; row <= n; ++row) {
        items.push_back(DeviceTable->GetValue(row, 2));
    }
    View.SetItems("RadioGroup1", items);
    if (!items.empty()) {
        View.SetVisible("RadioGroup1", true);
        View.SetItemIndex("RadioGroup1", 0);
        for (const char* button : OperationButtons) {
            View.SetEnabled(button, true);
        }
        View.SetVisible("SpeedButton1", true);
        View.SetVisible("SpeedButton2", true);
    }
    View.SetHourglass(false);
}

void TForm1::ShowProgress(const std::string& text) {
    orvendal::ShowProgress(View, text);
}

void TForm1::ShowInfo(const std::string& text) {
    orvendal::ShowInfo(View, text);
}

// The number comes from the device table: the current device text is an identity text after an
// operation, and asking the settings server for device 0 would throw an online program into
// offline mode.
void TForm1::LoadSelectedDevice() {
    int row = SelectedRow();
    std::string number = row > 0 ? Trim(DeviceField(row, 3)) : CurrentDevice;
    LoadDeviceSettings(StrToIntDef(number, 0));
}

void TForm1::RequireWorkDir() const {
    if (WorkDir.empty())
        throw std::runtime_error("Für das Gerät " + CurrentDevice +
                                 " ist kein Arbeitsordner eingestellt (Schlüssel 4).");
}

bool TForm1::ConnectMobil(TSQLADOServer& db) {
    LoadSelectedDevice();
    RequireWorkDir();
    db.SetServerType(Jet);
    db.DataSource = WorkDir + "mobil.mdb";
    if (db.Connect()) {
        return true;
    }
    View.MessageBox(TMsgKind::Error, db.LastError);
    return false;
}

void TForm1::SpeedButton2Click() {
    // The selected device's proxy keys fill an empty proxy.
    LoadSelectedDevice();
    CurrentProxy = View.InputBox("Proxy für HTTP-Verbindung",
                                 "Proxy-Server und Port (z.B. MyServer:80)", CurrentProxy);
}

bool TForm1::OperationPreamble() {
    for (const char* button : OperationButtons) {
        View.SetEnabled(button, false);
    }
    View.SetEnabled("CloseBtn", false);
    View.SetHourglass(true);
    int row = SelectedRow();
    CurrentDevice = Trim(DeviceField(row, 3));
    bool pocketPC = IsPocketPC(row);
    LoadDeviceSettings(StrToIntDef(CurrentDevice, 0));
    return pocketPC;
}

void TForm1::OperationEpilogue() {
    View.SetHourglass(false);
    View.SetEnabled("CloseBtn", true);
    View.SetEnabled("BitBtn4", true);
    View.SetEnabled("BitBtn3", true);
    View.SetEnabled("BitBtn2", true);
    View.SetEnabled("BitBtn1", true);
}

void TForm1::RunOperation(const std::function<void()>& body) {
    Succeeded = false;
    try {
        body();
    } catch (const std::exception& e) {
        View.SetHourglass(false);
        View.MessageBox(TMsgKind::Error, e.what());
    } catch (...) {
        View.SetHourglass(false);
        View.MessageBox(TMsgKind::Error, "Unbekannter Fehler");
    }
    OperationEpilogue();
}

int TForm1::SelectedRow() {
    int index = View.ItemIndex("RadioGroup1");
    return index < 0 ? 0 : index + 1;
}

std::string TForm1::DeviceField(int row, int field) const {
    return DeviceTable ? DeviceTable->GetValue(row, field) : std::string();
}

int TForm1::FindDevice(const std::string& number) const {
    int rows = DeviceTable ? DeviceTable->RowCount() : 0;
    for (int row = 1; row <= rows; ++row) {
        if (Trim(DeviceField(row, 3)) == Trim(number)) {
            return row;
        }
    }
    return 0;
}

bool TForm1::IsPocketPC(int row) const {
    if (!DeviceTable || DeviceTable->FieldCount(1) <= 3) {
        return false;
    }
    int type = StrToIntDef(DeviceField(row, 4), 0);
    return type >= 3 && type <= 5;
}

} // namespace orvendal
