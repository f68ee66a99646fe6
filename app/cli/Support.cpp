#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    return RunOnDevice(options, args, &TForm1::BitBtn3Click);
}

const TCommand command(
    "support", "support N",
    "Kopiert die Datenbank \"mobil.sdf\" des Handhelds von Gerät N auf den Desktop und schickt\n"
    "sie mit den Mail-Einstellungen des Geräts an das Support-Postfach. Exit-Code 0 nur, wenn\n"
    "sie kopiert und versandt wurde.",
    Run);

} // namespace
} // namespace orvendal::cli
