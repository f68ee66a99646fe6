#include "app/cli/Session.h"

#include <iomanip>
#include <iostream>

namespace orvendal::cli {
namespace {

int ListDevices(const TGlobalOptions& options, const std::vector<std::string>& args) {
    if (!args.empty()) {
        return UsageError("devices takes no arguments");
    }
    TSession session(options);
    const TForm1& form = session.Form;
    const int rows = form.DeviceTable->RowCount();
    if (rows == 0) {
        std::cerr << "orvendal-cli: no devices configured\n";
        return 0;
    }
    std::cout << std::left << std::setw(8) << "NUMBER" << std::setw(32) << "NAME" << std::setw(6)
              << "TYPE"
              << "SETTINGS FILE\n";
    for (int row = 1; row <= rows; ++row) {
        std::cout << std::setw(8) << form.DeviceField(row, 3) << std::setw(32)
                  << form.DeviceField(row, 2) << std::setw(6) << form.DeviceField(row, 4)
                  << form.DeviceField(row, 5) << "\n";
    }
    return 0;
}

const TCommand
    command("devices", "devices",
            "Lists the device table: number, name, type and settings file of each\n"
            "configured device (offline from the \"*.ini\" files of the program folder,\n"
            "online from the settings server).",
            ListDevices);

} // namespace
} // namespace orvendal::cli
