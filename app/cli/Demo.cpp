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
    "demo", "demo [DIR]",
    "Builds a self-contained sandbox in DIR (default ./orvendal-demo): a program folder with\n"
    "the enciphered settings of one device, a folder-backed handheld holding the device's\n"
    "export, and a shared folder in which the file-mode mail transport finds the server's\n"
    "answer; then runs the data exchange end to end and prints its summary. Exit code 0 when\n"
    "the exchange went to its end cleanly.",
    Run);

} // namespace
} // namespace orvendal::cli
