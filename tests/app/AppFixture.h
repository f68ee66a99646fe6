#pragma once
// Program folders for the main window and the console: enciphered settings files, files on the
// loopback web server for online mode, and the built programs run as processes.

#include "app/VelQuonda1.h"
#include "common/Process.h"
#include "common/ScriptedView.h"
#include "common/TempFolder.h"
#include "protect/KeyList.h"
#include "transport/MailFixture.h"

#include <gtest/gtest.h>

#include <regex>

namespace orvendal::testing {

using Lines = std::vector<std::string>;

// Writes lines (UTF-8) as an enciphered settings file, as administrators make them.
inline void WriteSettings(const std::string& fileName, const Lines& lines) {
    TMemoryStream stream;
    SaveKeyLines(lines, stream);
    stream.SaveToFile(fileName);
}

// Lines of a device settings file: identity, name, number and the extra lines.
inline Lines DeviceLines(const std::string& identity, const std::string& name,
                         const std::string& number, const Lines& extra = {}) {
    Lines lines = {"1=" + identity, "2=" + name, "7=" + number};
    lines.insert(lines.end(), extra.begin(), extra.end());
    return lines;
}

// A program folder whose program file is "orvendal" (settings file "orvendal.ini").
class TProgramFolder : public TTempFolder {
public:
    std::string ProgramFile() const { return Path() + "orvendal"; }
};

// A TForm1 over a scripted view and a program folder.
struct TFormUnderTest {
    explicit TFormUnderTest(const TProgramFolder& folder) : Form(View, folder.ProgramFile()) {}
    TScriptedView View;
    TForm1 Form;
};

// Files on the loopback web server of tests/servers/with-servers.sh (its "files/"), under names
// of their own; empty Url() when the servers are not running.
class TWebFiles {
public:
    std::string Url(const std::string& name = "") const {
        return url_.empty() ? "" : url_ + "/files/" + prefix_ + name;
    }
    void Put(const std::string& name, const std::string& bytes) const {
        WriteText(Env("ORVENDAL_TEST_HTTP_DIR") + "/files/" + prefix_ + name, bytes);
    }

private:
    TTempFolder unique_; // its name keeps the names of parallel tests apart
    std::string prefix_ = fs::path(unique_.Path()).parent_path().filename().string() + "-";
    std::string url_ = Env("ORVENDAL_TEST_HTTP_URL");
};

// An office for orvendal-cli in a fresh folder: the program folder program/, the folder-backed
// handheld handheld/, and for each device x its folder "\x\" there and work/x/ on the desktop.
class TOfficeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
        setenv("ORVENDAL_DEVICE_ROOT", Path("handheld").c_str(), 1);
        fs::create_directories(Path("program"));
    }
    std::string Path(const std::string& name) const { return folder.File(name); }
    // Writes program/x.ini for device x: identity PPC-x, name, number, its folders, then keys.
    void Device(const std::string& x, const std::string& number, const std::string& name,
                Lines keys = {}) {
        fs::create_directories(Path("handheld/" + x));
        keys.insert(keys.begin(), {"3=\\" + x + "\\", "4=" + Path("work/" + x + "/")});
        WriteSettings(Path("program/" + x + ".ini"), DeviceLines("PPC-" + x, name, number, keys));
    }
    TProcess Start(const std::string& args) {
        return TProcess("exec " + std::string(ORVENDAL_BINARY_DIR) +
                        "/app/orvendal-cli --program-dir " + Path("program") + " " + args);
    }
    // Runs orvendal-cli; the varying end of a transport's message on stderr becomes "…".
    TRun Cli(const std::string& args) {
        TRun run = Start(args).Wait();
        run.Err = std::regex_replace(run.Err, std::regex(R"(\(Schritt 10: .*)"), "(Schritt 10: …");
        return run;
    }

    TTempFolder folder;
};

} // namespace orvendal::testing
