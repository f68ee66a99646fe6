#pragma once
// A sandbox for exchange runs: a working folder, a folder-backed handheld, a shared folder for
// the file-mode mail transport, and the device settings that tie them together.

#include "common/MobilDb.h"
#include "common/ScriptedView.h"
#include "common/TempFolder.h"
#include "db/SQLADO.h"
#include "exchange/ExchangeRun.h"
#include "exchange/Schema.h"
#include "exchange/ServerSimulator.h"
#include "protect/KeyList.h"
#include "protect/ZLibStream.h"
#include "transport/TransportFixture.h"

#include <gtest/gtest.h>
#include <numeric>
#include <set>
#include <string>
#include <vector>

namespace orvendal::testing {

class ExchangeFixture : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }
    // An empty sandbox, the handheld's table files "old", and fresh settings, view and context.
    void Fresh() {
        fs::remove_all(root_);
        for (const char* dir : {"work", "server", "handheld/Storage Card"})
            fs::create_directories(root_ / dir);
        for (const std::string& table : schema::ImportTables())
            WriteText(Handheld(table + ".xml"), "old");
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
        setenv("ORVENDAL_DEVICE_ROOT", (root_ / "handheld").c_str(), 1);
        // Device settings in file mode: the shared folder root/server.
        settings_.Clear();
        SaveKeyLines({"1=PPC-7", "2=Gerät 7", "3=\\Storage Card\\", "4=" + Work(""), "7=7",
                      "14=localhost", "28=" + Server("export%s.md_"),
                      "78=" + Server("import%s.md_")},
                     settings_);
        view_ = TScriptedView();
        ctx_ = TExchangeContext();
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

    // The simulator's answer, changed by the statements, waiting on the server.
    void ServerAnswer(const std::vector<std::string>& statements = {}) {
        std::string error;
        ASSERT_TRUE(simulator::MakeImportDatabase(Server("answer.mdb"), {}, error)) << error;
        Exec(Server("answer.mdb"), statements);
        WriteText(Server("import.md_"), Deflated(ReadText(Server("answer.mdb"))));
    }
    void StandardExport(const std::string& identity = "PPC-7") {
        simulator::MakeDeviceExport(Handheld("ExportData.xm_"), identity);
    }
    // A new mobil.mdb changed by the statements.
    void Seed(const std::vector<std::string>& statements) {
        TSQLADOServer db;
        CreateMobil(db, Work("mobil.mdb"));
        db.Disconnect();
        Exec(Work("mobil.mdb"), statements);
    }
    static bool Connect(TSQLADOServer& db, const std::string& path) {
        db.SetServerType(Jet);
        db.DataSource = path;
        return db.Connect();
    }
    static void Exec(const std::string& path, const std::vector<std::string>& statements) {
        TSQLADOServer db;
        ASSERT_TRUE(Connect(db, path)) << db.LastError;
        for (const std::string& statement : statements)
            ASSERT_TRUE(db.ExecSQL(statement)) << statement << ": " << db.LastError;
    }

    // Packed bytes unpacked into the server folder's file name.
    std::string Unpacked(const std::string& bytes, const std::string& name) {
        WriteText(Server(name), Inflated(bytes));
        return Server(name);
    }
    // The export database as the server received it.
    std::string SentExport() { return Unpacked(ReadText(Server("export.md_")), "sent.mdb"); }

    // The rows of a table ordered by the first column, "a|b|c" each, one per line; or the
    // database's message.
    static std::string Dump(const std::string& path, const std::string& table,
                            const std::string& columns, const std::string& where = "") {
        TSQLADOServer db;
        TRecordSet rs;
        if (!Connect(db, path) ||
            !db.Select(columns, table, where, columns.substr(0, columns.find(',')), rs))
            return db.LastError;
        std::string out;
        for (int r = 1; r <= RowCount(rs); ++r)
            for (int c = 1; c <= FieldCount(rs); ++c)
                out += FieldText(rs, r, c) + (c < FieldCount(rs) ? "|" : "\n");
        return out;
    }
    static std::string Count(const std::string& path, const std::string& table,
                             const std::string& where = "") {
        return Dump(path, table, "count(*)", where);
    }

    void Run() { TExchangeRun(ctx_).Execute(); }

    // What a run left, the sandbox's path cut out: the boxes (kind I, W, E or C), the files of
    // the working and the server folder and of the handheld's card but the old table files
    // ("=0" marks an empty file), and the jobs in mobil.mdb.
    std::string Outcome() const {
        std::string out;
        for (const auto& box : view_.Boxes)
            out += std::string(1, "IWEC"[static_cast<int>(box.Kind)]) + " " + box.Text + "\n";
        for (const std::string dir : {"work", "server", "card"}) {
            std::set<std::string> names;
            std::error_code none;
            const fs::path folder = root_ / (dir == "card" ? "handheld/Storage Card" : dir);
            for (const auto& entry : fs::directory_iterator(folder, none))
                if (ReadText(entry.path()) != "old")
                    names.insert(" " + entry.path().filename().string() +
                                 (fs::file_size(entry.path()) == 0 ? "=0" : ""));
            out += std::accumulate(names.begin(), names.end(), dir + ":") + "\n";
        }
        out += "jobs: " + Count(Work("mobil.mdb"), "MAuftrag");
        for (size_t at; (at = out.find(root_.string())) != std::string::npos;)
            out.erase(at, root_.string().size());
        return out;
    }

    TTempFolder folder_;
    fs::path root_ = folder_.Path();
    TScriptedView view_;
    TMemoryStream settings_;
    TExchangeContext ctx_;
};

} // namespace orvendal::testing
