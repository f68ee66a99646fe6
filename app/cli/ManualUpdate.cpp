#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    int rc = RunOnDevice(options, args, &TForm1::BitBtn4Click);
    return rc != 0 ? rc : NotBuilt("manual-update");
}

const TCommand command("manual-update", "manual-update N",
                       "Copies the current manual database onto device number N (not built yet).",
                       Run);

} // namespace
} // namespace orvendal::cli
