// Database layer timings on real SQLite files:
//  - FieldText over a 100,000-row, 7-column record set: the time per field must be the same at
//    the first rows and at the last ones (the record set is positioned by row number);
//  - QueryToXML of 100,000 rows;
//  - 100,000 Insert calls into an MBlob-shaped table with and without a transaction, beside the
//    sqlite3 command-line tool importing the same rows in one transaction (printed as ratios).
#include "db/SQLADO.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace orvendal {
namespace {

namespace fs = std::filesystem;

const char* const CreateMBlob =
    "CREATE TABLE MBlob (Id INT NOT NULL CONSTRAINT pk_Blob_Id PRIMARY KEY,AuftragId INT NOT "
    "NULL,FeldId INT NOT NULL,FeldValue VARCHAR(255),Status CHAR(1),FeldBlob IMAGE,Created "
    "SMALLDATETIME NOT NULL,Creator SMALLINT NOT NULL,CONSTRAINT u_Data UNIQUE "
    "(AuftragId,FeldId,FeldValue))";
const char* const Columns = "Id,AuftragId,FeldId,FeldValue,Created,Creator,Status";
constexpr int Rows = 100000;

fs::path Folder() {
    const fs::path dir = fs::temp_directory_path() / "orvendal-bench-db";
    fs::create_directories(dir);
    return dir;
}

std::string Values(int id) {
    return std::to_string(id) + "," + std::to_string(id / 10) + "," + std::to_string(50 + id % 10) +
           ",'Foto " + std::to_string(id) + ".jpg','06.12.2026 10:05',1,'1'";
}

// A fresh database with the MBlob table at name.
void Fresh(TSQLADOServer& s, const std::string& name) {
    const std::string path = (Folder() / name).string();
    fs::remove(path);
    s.SetServerType(Jet);
    s.DataSource = path;
    if (!s.CreateDatabase() || !s.Connect() || !s.ExecSQL(CreateMBlob)) {
        std::cerr << "database set-up failed: " << s.LastError << "\n";
        std::exit(1);
    }
}

// Inserts count rows; with a transaction around them when asked. Seconds taken.
double InsertRows(TSQLADOServer& s, int count, bool transaction) {
    const auto start = std::chrono::steady_clock::now();
    if (transaction)
        s.BeginTransaction();
    for (int id = 1; id <= count; ++id)
        if (!s.Insert("MBlob", Columns, Values(id))) {
            std::cerr << "insert failed: " << s.LastError << "\n";
            std::exit(1);
        }
    if (transaction)
        s.Commit();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TSQLADOServer& Filled() {
    static TSQLADOServer server;
    static bool done = false;
    if (!done) {
        Fresh(server, "read.mdb");
        InsertRows(server, Rows, true);
        done = true;
    }
    return server;
}

// FieldText of all 7 fields of 1,000 rows starting at the given row.
void BM_FieldText(benchmark::State& state) {
    TSQLADOServer& s = Filled();
    TRecordSet rs;
    s.Select(Columns, "MBlob", "", "Id", rs);
    const int first = static_cast<int>(state.range(0));
    size_t bytes = 0;
    for (auto _ : state)
        for (int row = first; row < first + 1000; ++row)
            for (int col = 1; col <= 7; ++col)
                bytes += FieldText(rs, row, col).size();
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * 7000);
    state.counters["ns_per_field"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 7000,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FieldText)->Arg(1)->Arg(50000)->Arg(99000)->Unit(benchmark::kMicrosecond);

#if __has_include("tables/CSV.h") // the table file renders the XML
void BM_QueryToXML(benchmark::State& state) {
    TSQLADOServer& s = Filled();
    size_t size = 0;
    for (auto _ : state)
        size = QueryToXML(s, std::string("SELECT ") + Columns + " FROM MBlob WHERE 0=0", 0).size();
    state.counters["xml_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_QueryToXML)->Unit(benchmark::kMillisecond)->Iterations(1);
#endif

// The insert comparison: one run each, printed as seconds and ratios.
void CompareInserts() {
    TSQLADOServer with, without;
    Fresh(with, "insert-tx.mdb");
    const double tx = InsertRows(with, Rows, true);
    // Without a transaction every row is its own durable commit: measured on fewer rows and
    // scaled to 100,000, or the run would take many minutes on a slow disk.
    constexpr int plainRows = 2000;
    Fresh(without, "insert-plain.mdb");
    const double plain = InsertRows(without, plainRows, false) * (Rows / plainRows);

    const fs::path sqlFile = Folder() / "import.sql", dbFile = Folder() / "cli.db";
    fs::remove(dbFile);
    {
        std::ofstream out(sqlFile);
        out << "CREATE TABLE MBlob (Id INT NOT NULL CONSTRAINT pk_Blob_Id PRIMARY KEY,AuftragId "
               "INT NOT NULL,FeldId INT NOT NULL,FeldValue VARCHAR(255) COLLATE NOCASE,Status "
               "CHAR(1) COLLATE NOCASE,FeldBlob IMAGE,Created SMALLDATETIME NOT NULL,Creator "
               "SMALLINT NOT NULL,CONSTRAINT u_Data UNIQUE "
               "(AuftragId,FeldId,FeldValue));\nBEGIN;\n";
        for (int id = 1; id <= Rows; ++id)
            out << "INSERT INTO MBlob(" << Columns << ") VALUES(" << std::to_string(id) << ","
                << id / 10 << "," << 50 + id % 10 << ",'Foto " << id
                << ".jpg','2026-12-06 10:05',1,'1');\n";
        out << "COMMIT;\n";
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string command =
        "/usr/bin/sqlite3 '" + dbFile.string() + "' < '" + sqlFile.string() + "'";
    if (std::system(command.c_str()) != 0)
        std::cerr << "sqlite3 failed\n";
    const double cli =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("\nInsert of %d MBlob rows\n", Rows);
    std::printf("  sqlite3 tool, one transaction : %8.3f s  (1.00x)\n", cli);
    std::printf("  Insert, one transaction       : %8.3f s  (%.2fx sqlite3; goal <= 3x)\n", tx,
                tx / cli);
    std::printf("  Insert, no transaction (est.) : %8.3f s  (%.2fx sqlite3; from %d rows)\n", plain,
                plain / cli, plainRows);
}

} // namespace
} // namespace orvendal

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    orvendal::CompareInserts();
    return 0;
}
