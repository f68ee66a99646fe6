#include "app/cli/Session.h"
#include "exchange/DemoSandbox.h"

#include <chrono>
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
        return UsageError("demo takes at most one folder");
    }
    const auto started = std::chrono::steady_clock::now();
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
    session.Form.BitBtn1Click();

    const demo::TReport r = demo::Inspect(sandbox);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    std::cout << "Rows exported from the handheld: " << r.RowsExported << "\n"
              << "Tables written to the handheld:  " << r.TablesOnHandheld << " of 9\n"
              << "Rows in mobil.mdb:               " << r.Jobs << " jobs, " << r.Values
              << " values, " << r.SystemValues << " system values, " << r.PhotoRows
              << " photo rows\n"
              << "Photos sent:                     " << r.PhotosSent << "\n"
              << "Time taken:                      " << ms << " ms\n";
    const bool complete = r.RowsExported > 0 && r.TablesOnHandheld == 9 && r.Jobs > 0;
    if (!complete) {
        std::cerr << "orvendal-cli: the demo exchange did not complete\n";
    }
    return complete ? 0 : 1;
}

const TCommand command(
    "demo", "demo [DIR]",
    "Builds a self-contained sandbox in DIR (default ./orvendal-demo): a program folder with\n"
    "the enciphered settings of one device, a folder-backed handheld holding the device's\n"
    "export, and a shared folder in which the file-mode mail transport finds the server's\n"
    "answer; then runs the data exchange end to end and prints what moved.",
    Run);

} // namespace
} // namespace orvendal::cli
