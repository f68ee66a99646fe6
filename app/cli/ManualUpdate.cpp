#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    return RunOnDevice(options, args, &TForm1::BitBtn4Click);
}

const TCommand command(
    "manual-update", "manual-update N",
    "Lädt die Handbuch-Datenbank (\"vavid.zip\", ein zlib-Strom; ORVENDAL_MANUAL_URL ersetzt\n"
    "die Adresse), entpackt sie und kopiert sie als \"VAVID.sdf\" auf den Handheld von Gerät N.\n"
    "Ein Fehler nennt den Schritt, der fehlschlug, und endet mit Exit-Code 1.",
    Run);

} // namespace
} // namespace orvendal::cli
