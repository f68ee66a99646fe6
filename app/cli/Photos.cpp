#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    int rc = RunOnDevice(options, args, &TForm1::BitBtn2Click);
    return rc != 0 ? rc : NotBuilt("photos");
}

const TCommand command("photos", "photos N",
                       "Photo assignment for device number N (not built yet).", Run);

} // namespace
} // namespace orvendal::cli
