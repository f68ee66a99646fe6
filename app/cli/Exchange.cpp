#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    return RunOnDevice(options, args, &TForm1::BitBtn1Click);
}

const TCommand command(
    "exchange", "exchange N",
    "Runs the data exchange for device number N: reads the handheld's export, sends it and the\n"
    "waiting photos to the server, fetches the server's answer, writes its tables onto the\n"
    "handheld and merges them into the desktop database \"mobil.mdb\".",
    Run);

} // namespace
} // namespace orvendal::cli
