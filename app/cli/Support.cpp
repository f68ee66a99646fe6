#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    return RunOnDevice(options, args, &TForm1::BitBtn3Click);
}

const TCommand command(
    "support", "support N",
    "Copies the handheld's database \"mobil.sdf\" of device number N to the desktop and mails\n"
    "it to the support mailbox with the mail settings of the device.",
    Run);

} // namespace
} // namespace orvendal::cli
