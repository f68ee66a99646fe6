#pragma once
// One console run of the main window: a console view, TForm1 started over the program folder
// (--program-dir) with the proxy of --proxy, and the device chosen by its number.

#include "app/ConsoleView.h"
#include "app/VelQuonda1.h"
#include "app/cli/Command.h"

#include <string>
#include <vector>

namespace orvendal::cli {

class TSession {
public:
    // Runs FormCreate; messages go to stderr.
    explicit TSession(const TGlobalOptions& options);
    ~TSession();

    // Selects the device whose number (device table field 3) is number. Prints an error and
    // returns false when the table has no such device.
    bool SelectDevice(const std::string& number);

    TConsoleView View;
    TForm1 Form;
};

// The program file TForm1 works from: DIR/orvendal for --program-dir DIR, else the window's
// (TForm1::DefaultProgramFile), so both programs read the same orvendal.ini.
std::string ProgramFile(const TGlobalOptions& options);

// For commands of the form "NAME N": runs operation on device N. Returns 0 when it went to its
// end without a failed step and without a warning or error box, 2 for wrong usage, else 1.
int RunOnDevice(const TGlobalOptions& options, const std::vector<std::string>& args,
                void (TForm1::*operation)());

} // namespace orvendal::cli
