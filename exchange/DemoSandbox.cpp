#include "exchange/DemoSandbox.h"

#include "db/SQLADO.h"
#include "exchange/Schema.h"
#include "exchange/ServerSimulator.h"
#include "protect/KeyList.h"
#include "protect/Streams.h"
#include "protect/ZLibStream.h"

#include <filesystem>
#include <stdexcept>

namespace orvendal::demo {
namespace fs = std::filesystem;
namespace {

void Pack(const std::string& source, const std::string& target) {
    TMemoryStream plain, packed;
    plain.LoadFromFile(source);
    DeflateStream(plain, packed);
    packed.SaveToFile(target);
}

int Count(const std::string& database, const std::string& table) {
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = database;
    return db.Connect() ? std::max(0, db.CountRows(table, "")) : 0;
}

void WriteDeviceSettings(const TSandbox& s) {
    // Key 8 marks a web-transfer (Pocket PC) device; its server does not answer, so the run
    // falls back to mail. Key 10 empty: file mode through the shared folder; key 14 names a host
    // so sends happen.
    const std::vector<std::string> lines = {
        "1=" + s.Identity,
        "2=" + s.DisplayName,
        "3=\\Storage Card\\",
        "4=" + s.WorkDir,
        "7=" + s.DeviceNumber,
        "8=" + s.TransferAddress,
        "14=localhost",
        "28=" + s.ServerDir + "export%s.md_",
        "78=" + s.ServerDir + "import%s.md_",
    };
    TMemoryStream settings;
    SaveKeyLines(lines, settings);
    settings.SaveToFile(s.ProgramDir + "demo.ini");
}

} // namespace

TSandbox MakeSandbox(const std::string& root) {
    TSandbox s;
    s.Root = fs::absolute(root).lexically_normal().string();
    if (s.Root.back() != '/') {
        s.Root += '/';
    }
    s.ProgramDir = s.Root + "program/";
    s.WorkDir = s.Root + "work/";
    s.HandheldRoot = s.Root + "handheld/";
    s.ServerDir = s.Root + "server/";
    for (const std::string* dir : {&s.ProgramDir, &s.WorkDir, &s.ServerDir}) {
        fs::remove_all(*dir);
        fs::create_directories(*dir);
    }
    fs::remove_all(s.HandheldRoot);
    fs::create_directories(s.HandheldRoot + "Storage Card");

    WriteDeviceSettings(s);
    simulator::MakeDeviceExport(s.HandheldRoot + "Storage Card/ExportData.xm_", s.Identity);
    std::string error;
    const std::string answer = s.Root + "answer.mdb";
    if (!simulator::MakeImportDatabase(answer, {}, error)) {
        throw std::runtime_error("Server-Daten können nicht erzeugt werden: " + error);
    }
    Pack(answer, s.ServerDir + "import.md_");
    fs::remove(answer);
    return s;
}

TReport Inspect(const TSandbox& s) {
    TReport r;
    const std::string sent = s.Root + "sent-export.mdb";
    if (fs::exists(s.ServerDir + "export.md_")) {
        TMemoryStream packed, plain;
        packed.LoadFromFile(s.ServerDir + "export.md_");
        InflateStream(packed, plain);
        plain.SaveToFile(sent);
        r.RowsExported = Count(sent, "ExportData");
        fs::remove(sent);
    }
    for (const std::string& table : schema::ImportTables()) {
        r.TablesOnHandheld += fs::exists(s.HandheldRoot + "Storage Card/" + table + ".xml");
    }
    const std::string mobil = s.WorkDir + "mobil.mdb";
    r.Jobs = Count(mobil, "MAuftrag");
    r.Values = Count(mobil, "MValues");
    r.SystemValues = Count(mobil, "SysData");
    r.PhotoRows = Count(mobil, "MBlob");
    for (const auto& entry : fs::directory_iterator(s.ServerDir)) {
        const std::string name = entry.path().filename().string();
        r.PhotosSent += name.starts_with("export") && name != "export.md_";
    }
    return r;
}

} // namespace orvendal::demo
