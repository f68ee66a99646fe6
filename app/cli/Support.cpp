#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    int rc = RunOnDevice(options, args, &TForm1::BitBtn3Click);
    return rc != 0 ? rc : NotBuilt("support");
}

const TCommand command("support", "support N",
                       "Mails the handheld database of device number N to support (not built yet).",
                       Run);

} // namespace
} // namespace orvendal::cli
