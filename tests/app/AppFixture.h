#pragma once
// Real program folders for the main window's tests: enciphered settings files in a fresh
// temporary folder, and a loopback HTTP server (python's http.server) for online mode.

#include "app/VelQuonda1.h"
#include "common/ScriptedView.h"
#include "common/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/types.h>
#include <vector>

namespace orvendal::testing {

// Writes lines (UTF-8) as an enciphered settings file, as administrators make them.
void WriteSettings(const std::string& fileName, const std::vector<std::string>& lines);
// Writes raw bytes.
void WriteFile(const std::string& fileName, const std::string& bytes);
// Lines of a device settings file: identity, name, number and the extra lines.
std::vector<std::string> DeviceLines(const std::string& identity, const std::string& name,
                                     const std::string& number,
                                     const std::vector<std::string>& extra = {});

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
    THttpServer(const THttpServer&) = delete;
    THttpServer& operator=(const THttpServer&) = delete;
    // True when the server answered within the start-up time.
    bool Running() const { return running_; }
    // "http://127.0.0.1:PORT/"
    std::string Url() const;

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

} // namespace orvendal::testing
