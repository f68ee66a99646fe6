#pragma once
// Program folders for the main window and the console: enciphered settings files, a loopback
// HTTP server (python's http.server) for online mode, and the built programs run as processes.

#include "app/VelQuonda1.h"
#include "common/ScriptedView.h"
#include "common/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/types.h>
#include <vector>

namespace orvendal::testing {

using Lines = std::vector<std::string>;

// Writes lines (UTF-8) as an enciphered settings file, as administrators make them.
void WriteSettings(const std::string& fileName, const Lines& lines);
// Writes raw bytes.
void WriteFile(const std::string& fileName, const std::string& bytes);
// Lines of a device settings file: identity, name, number and the extra lines.
Lines DeviceLines(const std::string& identity, const std::string& name, const std::string& number,
                  const Lines& extra = {});

// A program folder whose program file is "orvendal"; its settings file is "orvendal.ini".
class TProgramFolder : public TTempFolder {
public:
    std::string ProgramFile() const { return Path() + "orvendal"; }
    std::string SettingsFile() const { return Path() + "orvendal.ini"; }
};

// A loopback port that nothing listens on at the time of the call.
int FreeLoopbackPort();

// python3 -m http.server on a free loopback port serving a folder; stopped by the destructor.
class THttpServer {
public:
    explicit THttpServer(const std::string& folder);
    ~THttpServer();
    bool Running() const { return running_; } // answered within the start-up time
    std::string Url() const;                  // "http://127.0.0.1:PORT/"

private:
    pid_t pid_ = -1;
    int port_ = 0;
    bool running_ = false;
};

// A TForm1 over a scripted view and a program folder.
struct TFormUnderTest {
    explicit TFormUnderTest(const TProgramFolder& folder) : Form(View, folder.ProgramFile()) {}
    TScriptedView View;
    TForm1 Form;
};

struct TRun {
    int Code = -1; // -1: killed after the time-out
    std::string Out, Err;
};

// A program of the build ("orvendal-cli" or "orvendal") with args (shell words), stdin from
// /dev/null, started by the constructor.
class TProcess {
public:
    TProcess(const std::string& program, const std::string& args);
    ~TProcess();
    // Waits at most seconds for the end; kills the program after that.
    TRun Wait(int seconds = 100);

private:
    TTempFolder files_;
    pid_t pid_ = -1;
};

inline TRun RunProgram(const std::string& program, const std::string& args) {
    return TProcess(program, args).Wait();
}

} // namespace orvendal::testing
