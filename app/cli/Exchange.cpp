// orvendal-cli exchange: the data exchange of one device or of every device, with a summary on
// stderr and, with --json, one report document on stdout.

#include "app/cli/ExchangeReport.h"

#include <iostream>

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    bool all = false, report = false;
    std::vector<std::string> numbers;
    for (const std::string& arg : args) {
        if (arg == "--all" || arg == "--json") {
            (arg == "--all" ? all : report) = true;
        } else {
            numbers.push_back(arg);
        }
    }
    if (all == (numbers.size() == 1) || numbers.size() > 1) {
        return UsageError("exchange erwartet eine Gerätenummer oder --all");
    }
    TSession session(options);
    std::vector<int> rows;
    if (!all && !session.SelectDevice(numbers[0])) {
        return 1;
    }
    const int count = session.Form.DeviceTable ? session.Form.DeviceTable->RowCount() : 0;
    for (int row = 1; row <= count; ++row) {
        if (all || row == session.Form.SelectedRow()) {
            rows.push_back(row);
        }
    }
    if (rows.empty()) {
        std::cerr << "orvendal-cli: Es ist kein Gerät eingerichtet.\n";
        return 1;
    }
    TReport devices = TReport::array();
    bool clean = true;
    for (int row : rows) {
        devices.push_back(RunExchange(session, row));
        PrintSummary(devices.back());
        clean = clean && devices.back()["outcome"] == "ok";
    }
    if (report) {
        std::cout << TReport{{"devices", devices}}.dump(2) << "\n";
    }
    return clean ? 0 : 1;
}

const TCommand command(
    "exchange", "exchange N | --all [--json]",
    "Runs the data exchange for device number N, or with --all for every configured device in\n"
    "list order (a failing device does not stop the others): reads the handheld's export,\n"
    "sends it and the waiting photos to the server, fetches the server's answer, writes its\n"
    "tables onto the handheld and merges them into the desktop database \"mobil.mdb\".\n"
    "A summary of each run goes to stderr; --json writes one report document to stdout.\n"
    "Exit code 0 only when every run went to its end without a warning or error box and\n"
    "without a failed step (a handheld that is not docked counts as not done), else 1.",
    Run);

} // namespace
} // namespace orvendal::cli
