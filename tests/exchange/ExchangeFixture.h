#pragma once
// A sandbox for exchange runs: a working folder, a folder-backed handheld, a shared folder for
// the file-mode mail transport, and the device settings that tie them together.

#include "common/ScriptedView.h"
#include "common/TempFolder.h"
#include "db/SQLADO.h"
#include "exchange/ExchangeRun.h"
#include "protect/KeyList.h"
#include "protect/ZLibStream.h"
#include "transport/TransportFixture.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace orvendal::testing {

// Text packed the way the transports carry it.
inline std::string Packed(const std::string& text) {
    TMemoryStream plain, packed;
    plain.WriteString(text);
    DeflateStream(plain, packed);
    return packed.AsString();
}

class ExchangeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_ / "work");
        fs::create_directories(root_ / "handheld" / "Storage Card");
        fs::create_directories(root_ / "server");
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
        setenv("ORVENDAL_DEVICE_ROOT", (root_ / "handheld").c_str(), 1);
        // Device settings in file mode: the shared folder root/server.
        SaveKeyLines({"1=PPC-7", "2=Gerät 7", "3=\\Storage Card\\", "4=" + Work(""), "7=7",
                      "14=localhost", "28=" + Server("export%s.md_"),
                      "78=" + Server("import%s.md_")},
                     settings_);
        ctx_.View = &view_;
        ctx_.WorkDir = Work("");
        ctx_.DeviceDir = "\\Storage Card\\";
        ctx_.CurrentDevice = "PPC-7";
        ctx_.DeviceNumber = "7";
        ctx_.PocketPC = true;
        ctx_.Settings = &settings_;
    }

    std::string Work(const std::string& name) const { return (root_ / "work" / name).string(); }
    std::string Server(const std::string& name) const { return (root_ / "server" / name).string(); }
    std::string Handheld(const std::string& name) const {
        return (root_ / "handheld" / "Storage Card" / name).string();
    }

    // Packed bytes unpacked into the server folder's file name.
    std::string Unpacked(const std::string& bytes, const std::string& name) {
        TMemoryStream packed, plain;
        packed.WriteString(bytes);
        packed.Rewind();
        InflateStream(packed, plain);
        plain.SaveToFile(Server(name));
        return Server(name);
    }
    // The export database as the server received it.
    std::string SentExport() { return Unpacked(ReadText(Server("export.md_")), "sent.mdb"); }

    // Opens an existing database file.
    static void Open(TSQLADOServer& db, const std::string& path) {
        db.SetServerType(Jet);
        db.DataSource = path;
        ASSERT_TRUE(db.Connect()) << db.LastError;
    }
    static int Count(const std::string& path, const std::string& table,
                     const std::string& where = "") {
        TSQLADOServer db;
        db.SetServerType(Jet);
        db.DataSource = path;
        return db.Connect() ? db.CountRows(table, where) : -2;
    }

    void Run() {
        TExchangeRun run(ctx_);
        run.Execute();
    }

    bool BoxShown(TMsgKind kind, const std::string& text) const {
        for (const auto& box : view_.Boxes) {
            if (box.Kind == kind && box.Text == text) {
                return true;
            }
        }
        return false;
    }

    TTempFolder folder_;
    fs::path root_ = folder_.Path();
    TScriptedView view_;
    TMemoryStream settings_;
    TExchangeContext ctx_;
};

} // namespace orvendal::testing
