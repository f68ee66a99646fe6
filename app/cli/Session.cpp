#include "app/cli/Session.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

namespace orvendal::cli {

std::string ProgramFile(const TGlobalOptions& options) {
    return options.ProgramDir.empty()
               ? TForm1::DefaultProgramFile()
               : (std::filesystem::path(options.ProgramDir) / "orvendal").string();
}

TSession::TSession(const TGlobalOptions& options)
    : View(std::cerr, std::cin, options.Confirm, isatty(0) != 0), Form(View, ProgramFile(options)) {
    View.ProgressLine = isatty(2) != 0;
    Form.FormCreate();
    if (options.Proxy) {
        Form.CurrentProxy = *options.Proxy;
    }
}

TSession::~TSession() {
    Form.FormDestroy();
}

bool TSession::SelectDevice(const std::string& number) {
    int row = Form.FindDevice(number);
    if (row == 0) {
        std::cerr << "orvendal-cli: Kein Gerät mit der Nummer " << number << ".\n";
        return false;
    }
    View.SetItemIndex("RadioGroup1", row - 1);
    return true;
}

int RunOnDevice(const TGlobalOptions& options, const std::vector<std::string>& args,
                void (TForm1::*operation)()) {
    if (args.size() != 1) {
        return UsageError("eine Gerätenummer erwartet");
    }
    TSession session(options);
    if (!session.SelectDevice(args[0])) {
        return 1;
    }
    (session.Form.*operation)();
    return session.Form.Succeeded && session.View.Problems() == 0 ? 0 : 1;
}

} // namespace orvendal::cli
