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
    "Datenaustausch für Gerät N, mit --all für jedes eingerichtete Gerät in Listenreihenfolge\n"
    "(ein Gerät, das scheitert, hält die anderen nicht auf): liest den Export des Handhelds,\n"
    "sendet ihn und die wartenden Fotos an den Server, holt die Antwort des Servers, schreibt\n"
    "ihre Tabellen auf den Handheld und übernimmt sie in die Desktop-Datenbank \"mobil.mdb\".\n"
    "Solange ein Austausch für ein Gerät läuft (im Fenster oder hier), scheitert ein zweiter\n"
    "sofort. Jeder Lauf endet mit einer Zusammenfassung auf stderr; --json schreibt einen\n"
    "Bericht als JSON-Dokument auf stdout. Exit-Code 0 nur, wenn jeder Lauf ohne Warnung,\n"
    "Fehler und fehlgeschlagenen Schritt bis zu seinem Ende kam (ein nicht angeschlossener\n"
    "Handheld zählt als nicht erledigt), sonst 1.",
    Run);

} // namespace
} // namespace orvendal::cli
