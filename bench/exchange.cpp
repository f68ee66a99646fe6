// The whole exchange at a field office's scale, on the folder-backed handheld and the file-mode
// mail: a device export of 20,000 rows (three in four photo fields, every tenth row with a 1 KB
// FeldBlob) and a server answer of 20,000 jobs (MAuftrag), 100,000 field rows (MData) and 2,000
// photo rows (MBlob). Each run is a child process of its own, so its peak memory is its own; the
// steps are timed by their status texts. Beside it the sqlite3 tool loads the same rows: the
// export's rows into ExportData and MBlob, the answer's dump, each in one transaction. Three
// repeats; medians and their ratios printed.

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
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orvendal {
namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr int ExportRows = 20000, Jobs = 20000, FieldsPerJob = 5, PhotoRows = 2000, Repeats = 3;
const std::string DesktopStatus =
    "Übertragen der Datenbanken zwischen Desktop und Pocket-PC... - Bitte warten!";
const std::string SendStatus = "Versand der Geräte-Daten... - Bitte warten!";
const std::string FetchStatus = "Abruf der Server-Daten... - Bitte warten!";

[[noreturn]] void Fail(const std::string& text) {
    std::fprintf(stderr, "bench_exchange: %s\n", text.c_str());
    std::exit(1);
}

double Seconds(TClock::time_point from, TClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

int Count(const std::string& path, const std::string& table, const std::string& where = "") {
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = path;
    return db.Connect() ? db.CountRows(table, where) : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0)
        Fail("failed: " + command);
}

struct TSandbox {
    std::string Root; // ends with "/"
    std::string Work() const { return Root + "work/"; }
    std::string Handheld() const { return Root + "handheld/Storage Card/"; }
    std::string Server() const { return Root + "server/"; }
    std::string Answer() const { return Root + "import.md_"; }     // kept for every repeat
    std::string Export() const { return Root + "ExportData.xm_"; } // kept for every repeat
    std::string AnswerSql() const { return Root + "import.sql"; }  // the answer's rows
    std::string ExportSql() const { return Root + "export.sql"; }  // the export's rows
    std::string Times() const { return Root + "times.txt"; }       // written by a run
};

// The server's answer at the benchmark's size, packed as the transport carries it, and the
// same rows as an SQL dump for the sqlite3 tool; the device export.
void MakeInputs(const TSandbox& s) {
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
    Shell("/usr/bin/sqlite3 '" + plain + "' .dump > '" + s.AnswerSql() + "'");
    TMemoryStream rows, packed;
    rows.LoadFromFile(plain);
    DeflateStream(rows, packed);
    packed.SaveToFile(s.Answer());
    fs::remove(plain);
    simulator::MakeDeviceExport(s.Export(), "PPC-7", ExportRows - 6);
    std::printf("export: %d rows, %.1f MB packed; import.mdb: %d MAuftrag, %d MData, %d MBlob "
                "rows, %.1f MB, %.1f MB packed\n",
                ExportRows, double(fs::file_size(s.Export())) / 1e6, Jobs, Jobs * FieldsPerJob,
                PhotoRows, double(rows.Size()) / 1e6, double(packed.Size()) / 1e6);
}

// The rows the export step loaded (ExportData as sent, the export's MBlob rows), as one
// transaction for the sqlite3 tool; made from the first run's files.
void MakeExportSql(const TSandbox& s) {
    const std::string sent = s.Root + "sent.mdb";
    TMemoryStream packed, plain;
    packed.LoadFromFile(s.Server() + "export.md_");
    InflateStream(packed, plain);
    plain.SaveToFile(sent);
    const std::string mobil = s.Work() + "mobil.mdb", out = " >> '" + s.ExportSql() + "'";
    Shell("echo 'BEGIN;' > '" + s.ExportSql() + "'");
    Shell("/usr/bin/sqlite3 '" + sent + "' '.schema ExportData'" + out);
    Shell("/usr/bin/sqlite3 '" + mobil + "' '.schema MBlob'" + out);
    Shell("/usr/bin/sqlite3 -cmd '.mode insert ExportData' '" + sent +
          "' 'SELECT * FROM ExportData'" + out);
    Shell("/usr/bin/sqlite3 -cmd '.mode insert MBlob' '" + mobil +
          "' 'SELECT * FROM MBlob WHERE Id>=100000 OR Id<100'" + out);
    Shell("echo 'COMMIT;'" + out);
}

// The device settings in file mode through the sandbox's shared folder.
void WriteSettings(const TSandbox& s, TMemoryStream& settings) {
    settings.Clear();
    SaveKeyLines({"1=PPC-7", "2=Gerät 7", "3=\\Storage Card\\", "4=" + s.Work(), "7=7",
                  "14=localhost", "28=" + s.Server() + "export%s.md_",
                  "78=" + s.Server() + "import%s.md_"},
                 settings);
}

// A fresh working folder, handheld and shared folder holding the export and the answer.
void Prepare(const TSandbox& s) {
    for (const std::string& dir : {s.Work(), s.Root + "handheld/", s.Server()})
        fs::remove_all(dir);
    for (const std::string& dir : {s.Work(), s.Handheld(), s.Server()})
        fs::create_directories(dir);
    fs::copy_file(s.Export(), s.Handheld() + "ExportData.xm_");
    fs::copy_file(s.Answer(), s.Server() + "import.md_");
}

// When a status text was first shown from the nth time on (1-based).
TClock::time_point Shown(const bench::TQuietView& view, const std::string& text, int nth) {
    for (const auto& [shown, when] : view.Status)
        if (shown == text && --nth == 0)
            return when;
    Fail("the exchange did not show: " + text);
}

// One exchange (in the child process); its step times go to the times file.
void RunOnce(const TSandbox& s) {
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
    for (const std::string& table : schema::ImportTables())
        if (!fs::exists(s.Handheld() + table + ".xml"))
            Fail(table + ".xml is not on the handheld");
    const std::string mobil = s.Work() + "mobil.mdb";
    const int bulk = ExportRows - 6, bulkPhotos = bulk - (bulk + 1) / 4;
    if (Count(mobil, "MAuftrag") != Jobs ||
        Count(mobil, "MBlob", "Id>=100 AND Id<100000") != PhotoRows ||
        Count(mobil, "MBlob", "Id>=100000") != bulkPhotos || fs::exists(s.Work() + "import.mdb"))
        Fail("the export rows or the merges did not reach mobil.mdb");
    const auto exported = Shown(view, SendStatus, 1), fetching = Shown(view, FetchStatus, 1),
               importing = Shown(view, DesktopStatus, 2);
    std::ofstream(s.Times()) << Seconds(Shown(view, DesktopStatus, 1), exported) << " "
                             << Seconds(exported, fetching) << " " << Seconds(fetching, importing)
                             << " " << Seconds(importing, end) << " " << Seconds(start, end);
}

struct TRun {
    double Export, Send, Fetch, Import, Whole, PeakMB;
};

// One exchange in a child process of this program; its times and peak memory.
TRun RunChild(const TSandbox& s) {
    Prepare(s);
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", "bench_exchange", "--run", s.Root.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        Fail("the exchange run failed");
    TRun run{};
    std::ifstream(s.Times()) >> run.Export >> run.Send >> run.Fetch >> run.Import >> run.Whole;
    run.PeakMB = double(usage.ru_maxrss) / 1024;
    return run;
}

// The sqlite3 tool loading an SQL text into a fresh file; seconds.
double Sqlite3Load(const TSandbox& s, const std::string& sql) {
    const std::string target = s.Root + "cli.db";
    fs::remove(target);
    const auto start = TClock::now();
    Shell("/usr/bin/sqlite3 '" + target + "' < '" + sql + "'");
    return Seconds(start, TClock::now());
}

} // namespace
} // namespace orvendal

int main(int argc, char** argv) {
    using namespace orvendal;
    if (argc == 3 && std::string(argv[1]) == "--run") {
        RunOnce(TSandbox{argv[2]});
        return 0;
    }
    TSandbox s{(fs::temp_directory_path() / "orvendal-bench-exchange/").string()};
    fs::remove_all(s.Root);
    fs::create_directories(s.Root);
    setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_LIBRARY, 1);
    setenv("ORVENDAL_DEVICE_ROOT", (s.Root + "handheld").c_str(), 1);
    MakeInputs(s);

    std::vector<TRun> runs;
    std::vector<double> exportTool, importTool;
    for (int i = 0; i < Repeats; ++i) {
        runs.push_back(RunChild(s));
        if (i == 0)
            MakeExportSql(s);
        exportTool.push_back(Sqlite3Load(s, s.ExportSql()));
        importTool.push_back(Sqlite3Load(s, s.AnswerSql()));
        const TRun& r = runs.back();
        std::printf("  repeat %d: export %.3f s, send %.3f s, fetch %.3f s, import %.3f s, whole "
                    "%.3f s, peak %.0f MB; sqlite3 export rows %.3f s, answer rows %.3f s\n",
                    i + 1, r.Export, r.Send, r.Fetch, r.Import, r.Whole, r.PeakMB,
                    exportTool.back(), importTool.back());
    }
    const auto median = [&](double TRun::*field) {
        std::vector<double> values;
        for (const TRun& r : runs)
            values.push_back(r.*field);
        return Median(values);
    };
    const double exportRef = Median(exportTool), importRef = Median(importTool);
    std::printf("\nMedians of %d runs\n", Repeats);
    std::printf("  export step  %7.3f s  (%.2fx sqlite3's %.3f s; goal <= 2x)\n",
                median(&TRun::Export), median(&TRun::Export) / exportRef, exportRef);
    std::printf("  send step    %7.3f s\n", median(&TRun::Send));
    std::printf("  fetch step   %7.3f s\n", median(&TRun::Fetch));
    std::printf("  import step  %7.3f s  (%.2fx sqlite3's %.3f s; goal <= 3x)\n",
                median(&TRun::Import), median(&TRun::Import) / importRef, importRef);
    std::printf("  whole run    %7.3f s  (goal < 3 s), peak memory %.0f MB\n", median(&TRun::Whole),
                median(&TRun::PeakMB));
    fs::remove_all(s.Root);
    return 0;
}
