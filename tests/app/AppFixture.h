#pragma once
// Program folders for the main window and the console: enciphered settings files, files on the
// loopback web server for online mode, and the built programs run as processes.

#include "app/VelQuonda1.h"
#include "common/MobilDb.h"
#include "common/Process.h"
#include "common/ScriptedView.h"
#include "common/TempFolder.h"
#include "protect/KeyList.h"
#include "transport/TransportFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

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

// A TForm1 over a scripted view, created; its program file is "orvendal" in folder.
struct TFormUnderTest {
    explicit TFormUnderTest(const TTempFolder& folder) : Form(View, folder.File("orvendal")) {
        Form.FormCreate();
    }
    TScriptedView View;
    TForm1 Form;
};

// The device's "mobil.mdb" at file for the photo dialogs: two stamp modes whose order (Reihe)
// runs against their Ids and the order they were written in; the camera folder, prefix IMG_ and an
// unreadable mode; photo rows 7 and 8 waiting for their camera files IMG_0815.jpg and IMG_0816.jpg,
// and row 9 sent.
inline void PhotoDatabase(TSQLADOServer& db, const std::string& file, const std::string& camera) {
    CreateMobil(db, file);
    for (const std::string& sql :
         {"INSERT INTO SysData(Id,SysValue) VALUES(8,'" + camera + "'),(9,'IMG_'),(10,'x')",
          std::string("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES"
                      "(1,1005,'1','links',2),(2,1005,'0','ohne',1)"),
          std::string("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) "
                      "VALUES(7,1000,51,'815','05.12.2026 10:00',1,'0'),(8,1000,52,'816',"
                      "'05.12.2026 10:05',1,'0'),(9,1001,51,'817','05.12.2026 10:09',1,'3')")}) {
        ASSERT_TRUE(db.ExecSQL(sql)) << db.LastError << sql;
    }
}

// A file on the loopback web server of tests/servers/with-servers.sh (its "files/"): its address,
// or its path with ORVENDAL_TEST_HTTP_DIR; named for this process so that tests running side by
// side keep apart.
inline std::string WebFile(const std::string& name, const char* root = "ORVENDAL_TEST_HTTP_URL") {
    return Env(root) + "/files/" + std::to_string(getpid()) + "-" + name;
}

} // namespace orvendal::testing
