#include "app/cli/Session.h"

namespace orvendal::cli {
namespace {

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    int rc = RunOnDevice(options, args, &TForm1::SpeedButton1Click);
    return rc != 0 ? rc : NotBuilt("photo-settings");
}

const TCommand command("photo-settings", "photo-settings N",
                       "Shows and changes the photo settings of device number N (not built yet).",
                       Run);

} // namespace
} // namespace orvendal::cli
