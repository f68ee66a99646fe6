#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    return RunOnDevice(options, args, &TForm1::BitBtn4Click);
}

const TCommand command(
    "manual-update", "manual-update N",
    "Downloads the manual database (\"vavid.zip\", a zlib stream; the address can be replaced\n"
    "with ORVENDAL_MANUAL_URL), inflates it and copies it as \"VAVID.sdf\" onto the handheld of\n"
    "device number N. A failure names the step that failed.",
    Run);

} // namespace
} // namespace orvendal::cli
