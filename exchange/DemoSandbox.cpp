#include "exchange/DemoSandbox.h"

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

} // namespace orvendal::demo
