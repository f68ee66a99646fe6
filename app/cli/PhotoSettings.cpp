#include "app/cli/Session.h"

#include "tables/UserFkt.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    if (args.empty() || args.size() % 2 == 0) {
        return UsageError("Gerätenummer und Optionswerte erwartet");
    }
    TConsoleView::TPhotoSettingsEdits edits;
    for (size_t i = 1; i < args.size(); i += 2) {
        const std::string& value = args[i + 1];
        if (args[i] == "--folder") {
            edits.Folder = value;
        } else if (args[i] == "--prefix") {
            edits.Prefix = value;
        } else if (args[i] == "--mode" && StrToIntDef(value, -2) >= -1) {
            edits.Mode = StrToIntDef(value, -1);
        } else {
            return UsageError("unbekannte Option oder unbekannter Wert: " + args[i] + " " + value);
        }
    }
    TSession session(options);
    if (!session.SelectDevice(args[0])) {
        return 1;
    }
    session.View.PhotoSettingsEdits = edits;
    session.Form.SpeedButton1Click();
    return session.View.Problems() > 0 ? 1 : 0;
}

const TCommand command(
    "photo-settings", "photo-settings N [--folder F] [--prefix P] [--mode M]",
    "Zeigt die Foto-Einstellungen von Gerät N: den Ordner der Kameradateien, den festen Anfang\n"
    "ihrer Namen und den Modus für den Zeitstempel mit seinen Möglichkeiten. Mit Optionen\n"
    "schreibt es die Werte in die \"mobil.mdb\" des Geräts; M ist die Nummer einer angebotenen\n"
    "Möglichkeit (0 ohne Stempel), eine andere endet mit Exit-Code 1.",
    Run);

} // namespace
} // namespace orvendal::cli
