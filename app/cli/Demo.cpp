#include "app/cli/ExchangeReport.h"
#include "exchange/DemoSandbox.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace orvendal::cli {
namespace {
namespace fs = std::filesystem;

// The folder-backed handheld library: beside the build tree's programs or installed.
std::string DeviceLibrary() {
    const fs::path exe = fs::read_symlink("/proc/self/exe").parent_path();
    for (const fs::path& candidate :
         {exe / "../device/device-folder/liborvendal-device-folder.so",
          exe / "../lib/liborvendal-device-folder.so",
          exe / "../lib/x86_64-linux-gnu/liborvendal-device-folder.so"}) {
        if (fs::exists(candidate)) {
            return fs::canonical(candidate).string();
        }
    }
    return "liborvendal-device-folder.so";
}

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    if (args.size() > 1) {
        return UsageError("demo nimmt höchstens einen Ordner");
    }
    const demo::TSandbox sandbox = demo::MakeSandbox(args.empty() ? "orvendal-demo" : args[0]);
    setenv("ORVENDAL_RAPI_LIBRARY", DeviceLibrary().c_str(), 0);
    setenv("ORVENDAL_DEVICE_ROOT", sandbox.HandheldRoot.c_str(), 1);
    std::cout << "Sandbox in " << sandbox.Root << "\n";

    TGlobalOptions demoOptions = options;
    demoOptions.ProgramDir = sandbox.ProgramDir;
    demoOptions.Confirm = demoOptions.Confirm.value_or(false);
    TSession session(demoOptions);
    if (!session.SelectDevice(sandbox.DeviceNumber)) {
        return 1;
    }
    const TReport report = RunExchange(session, session.Form.SelectedRow());
    PrintSummary(report);
    return report["outcome"] == "ok" ? 0 : 1;
}

const TCommand command(
    "demo", "demo [ORDNER]",
    "Baut in ORDNER (Vorgabe ./orvendal-demo) eine eigene Umgebung: einen Programmordner mit den\n"
    "verschlüsselten Einstellungen eines Geräts, einen ordnergestützten Handheld mit dem Export\n"
    "des Geräts und einen gemeinsamen Ordner, in dem der Mail-Transport im Dateimodus die Antwort\n"
    "des Servers findet; dann läuft der Datenaustausch von Anfang bis Ende mit Zusammenfassung.\n"
    "Exit-Code 0, wenn er sauber durchlief.",
    Run);

} // namespace
} // namespace orvendal::cli
