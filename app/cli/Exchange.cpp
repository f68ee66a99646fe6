#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    int rc = RunOnDevice(options, args, &TForm1::BitBtn1Click);
    return rc != 0 ? rc : NotBuilt("exchange");
}

const TCommand command("exchange", "exchange N",
                       "Runs the data exchange for device number N (not built yet).", Run);

} // namespace
} // namespace orvendal::cli
