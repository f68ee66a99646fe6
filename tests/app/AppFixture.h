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

// A device settings file: identity PPC-number, name, number, then the extra lines.
inline void WriteDevice(const std::string& fileName, const std::string& number,
                        const std::string& name, Lines extra = {}) {
    extra.insert(extra.begin(), {"1=PPC-" + number, "2=" + name, "7=" + number});
    WriteSettings(fileName, extra);
}

// A TForm1 over a scripted view; its program file is "orvendal" in folder.
struct TFormUnderTest {
    explicit TFormUnderTest(const TTempFolder& folder) : Form(View, folder.File("orvendal")) {}
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

} // namespace orvendal::testing
