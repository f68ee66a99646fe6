// The import step of an exchange with a large server answer: 20,000 jobs (MAuftrag), 100,000
// field rows (MData) and 2,000 photo rows (MBlob) in "import.mdb", written as the nine table
// files onto a folder-backed handheld and merged into "mobil.mdb"; beside the sqlite3 tool
// loading the same rows (a dump of that "import.mdb") in one transaction. One run, three
// repeats of each; medians and their ratio printed.
//
// The import has no entry of its own: the whole exchange runs through TExchangeRun::Execute
// (device export, file-mode mail, fetch, import), and the import is timed from its status text
// to the end of the run. The status text is the one the device export shows as well; the
// import's is the second.

#include "bench/QuietView.h"
#include "exchange/ExchangeRun.h"
#include "exchange/Schema.h"
#include "exchange/ServerSimulator.h"
#include "protect/KeyList.h"
#include "protect/ZLibStream.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orvendal {
namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr int Jobs = 20000, FieldsPerJob = 5, PhotoRows = 2000, Repeats = 3;
const char* const ImportStatus =
    "Übertragen der Datenbanken zwischen Desktop und Pocket-PC... - Bitte warten!";

[[noreturn]] void Fail(const std::string& text) {
    std::fprintf(stderr, "bench_exchange: %s\n", text.c_str());
    std::exit(1);
}

double Seconds(TClock::time_point from, TClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

int Count(const std::string& path, const std::string& table) {
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = path;
    return db.Connect() ? db.CountRows(table, "") : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct TSandbox {
    std::string Root; // ends with "/"
    std::string Work() const { return Root + "work/"; }
    std::string Handheld() const { return Root + "handheld/Storage Card/"; }
    std::string Server() const { return Root + "server/"; }
    std::string Answer() const { return Root + "import.md_"; } // kept for every repeat
    std::string Dump() const { return Root + "import.sql"; }
};

// The server's answer at the benchmark's size, packed as the transport carries it, and the
// same rows as an SQL dump for the sqlite3 tool.
void MakeAnswer(const TSandbox& s) {
    const std::string plain = s.Root + "answer.mdb";
    std::string error;
    if (!simulator::MakeImportDatabase(plain, {Jobs, FieldsPerJob, 1000}, error))
        Fail("import.mdb: " + error);
    // The simulator gives every job a photo row; the answer carries fewer.
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = plain;
    if (!db.Connect() || !db.Delete("MBlob", "Id>=" + std::to_string(100 + PhotoRows)) ||
        !db.ExecSQL("VACUUM"))
        Fail("import.mdb: " + db.LastError);
    db.Disconnect();
    if (Count(plain, "MAuftrag") != Jobs || Count(plain, "MData") != Jobs * FieldsPerJob ||
        Count(plain, "MBlob") != PhotoRows)
        Fail("import.mdb has other row counts than asked for");
    const std::string dump = "/usr/bin/sqlite3 '" + plain + "' .dump > '" + s.Dump() + "'";
    if (std::system(dump.c_str()) != 0)
        Fail("sqlite3 .dump failed");
    TMemoryStream rows, packed;
    rows.LoadFromFile(plain);
    DeflateStream(rows, packed);
    packed.SaveToFile(s.Answer());
    std::printf("import.mdb: %d MAuftrag, %d MData, %d MBlob rows; %.1f MB, %.1f MB packed\n", Jobs,
                Jobs * FieldsPerJob, PhotoRows, double(rows.Size()) / 1e6,
                double(packed.Size()) / 1e6);
    fs::remove(plain);
}

// The device settings in file mode through the sandbox's shared folder.
void WriteSettings(const TSandbox& s, TMemoryStream& settings) {
    settings.Clear();
    SaveKeyLines({"1=PPC-7", "2=Gerät 7", "3=\\Storage Card\\", "4=" + s.Work(), "7=7",
                  "14=localhost", "28=" + s.Server() + "export%s.md_",
                  "78=" + s.Server() + "import%s.md_"},
                 settings);
}

struct TTimes {
    double Import = 0, Whole = 0;
};

// One exchange in a fresh working folder, handheld and shared folder.
TTimes Exchange(const TSandbox& s) {
    for (const std::string& dir : {s.Work(), s.Root + "handheld/", s.Server()})
        fs::remove_all(dir);
    for (const std::string& dir : {s.Work(), s.Handheld(), s.Server()})
        fs::create_directories(dir);
    simulator::MakeDeviceExport(s.Handheld() + "ExportData.xm_", "PPC-7");
    fs::copy_file(s.Answer(), s.Server() + "import.md_");

    TMemoryStream settings;
    WriteSettings(s, settings);
    bench::TQuietView view;
    TExchangeContext ctx{.View = &view,
                         .WorkDir = s.Work(),
                         .DeviceDir = "\\Storage Card\\",
                         .CurrentDevice = "PPC-7",
                         .DeviceNumber = "7",
                         .TransferAddress = {}, // no web transfer: the run takes the mail
                         .CurrentProxy = {},
                         .PocketPC = true,
                         .Settings = &settings,
                         .Result = {}};
    const auto start = TClock::now();
    {
        TExchangeRun run(ctx);
        run.Execute();
    }
    const auto end = TClock::now();

    if (!view.Boxes.empty())
        Fail("the exchange reported: " + view.Boxes.front());
    std::vector<TClock::time_point> marks;
    for (const auto& [text, when] : view.Status)
        if (text == ImportStatus)
            marks.push_back(when);
    if (marks.size() != 2)
        Fail("the exchange did not reach its import");
    for (const std::string& table : schema::ImportTables())
        if (!fs::exists(s.Handheld() + table + ".xml"))
            Fail(table + ".xml is not on the handheld");
    const std::string mobil = s.Work() + "mobil.mdb";
    if (Count(mobil, "MAuftrag") != Jobs || Count(mobil, "MBlob") < PhotoRows ||
        fs::exists(s.Work() + "import.mdb"))
        Fail("the merges into mobil.mdb are incomplete");
    return {Seconds(marks[1], end), Seconds(start, end)};
}

// The sqlite3 tool loading the dump into a fresh file; seconds.
double Sqlite3Load(const TSandbox& s) {
    const std::string target = s.Root + "cli.db";
    fs::remove(target);
    const std::string command = "/usr/bin/sqlite3 '" + target + "' < '" + s.Dump() + "'";
    const auto start = TClock::now();
    if (std::system(command.c_str()) != 0)
        Fail("sqlite3 failed");
    return Seconds(start, TClock::now());
}

} // namespace
} // namespace orvendal

int main() {
    using namespace orvendal;
    TSandbox s{(fs::temp_directory_path() / "orvendal-bench-exchange/").string()};
    fs::remove_all(s.Root);
    fs::create_directories(s.Root);
    setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
    setenv("ORVENDAL_DEVICE_ROOT", (s.Root + "handheld").c_str(), 1);
    MakeAnswer(s);

    std::vector<double> imports, wholes, tools;
    for (int i = 0; i < Repeats; ++i) {
        const TTimes t = Exchange(s);
        imports.push_back(t.Import);
        wholes.push_back(t.Whole);
        tools.push_back(Sqlite3Load(s));
        std::printf("  repeat %d: import %.3f s (whole run %.3f s), sqlite3 %.3f s\n", i + 1,
                    t.Import, t.Whole, tools.back());
    }
    std::uintmax_t tableBytes = 0;
    for (const std::string& table : schema::ImportTables())
        tableBytes += fs::file_size(s.Handheld() + table + ".xml");
    const double tool = Median(tools), import = Median(imports), whole = Median(wholes);
    std::printf("\nImport step (nine table files, %.1f MB, onto the handheld; merges into "
                "mobil.mdb), median of %d\n",
                double(tableBytes) / 1e6, Repeats);
    std::printf("  sqlite3 tool, same rows, one transaction : %7.3f s  (1.00x)\n", tool);
    std::printf("  import step                              : %7.3f s  (%.2fx sqlite3; goal <= "
                "3x)\n",
                import, import / tool);
    std::printf("  whole exchange run (Execute)             : %7.3f s  (%.2fx sqlite3)\n", whole,
                whole / tool);
    fs::remove_all(s.Root);
    return 0;
}
