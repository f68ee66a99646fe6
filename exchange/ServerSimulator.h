#pragma once
// The server's side of an exchange, for the demo sandbox and the tests: a realistic
// "import.mdb" for one device and a handheld export file as the mobile application writes it.

#include <string>

namespace orvendal::simulator {

struct TImportShape {
    int Jobs = 12;        // MAuftrag rows; each job gets field rows and one photo row
    int FieldsPerJob = 5; // MData rows per job
    int FirstJobId = 1000;
};

// Creates the file at path (replacing it) with the nine tables the device receives, filled
// with sample rows: form steps, jobs, field values, fitters, materials, project items, value
// lists (classes 1005 time stamp modes and 1006 photo kinds), system values and photo rows.
// False with the database's message in error.
bool MakeImportDatabase(const std::string& path, const TImportShape& shape, std::string& error);

// Writes the handheld's export: a zlib-packed XML table of ExportData rows with the identity
// row (field 0), field values of two jobs and photo rows (fields 51 and 52, one with FeldBlob);
// then bulkRows rows of a busy week (Id from 100000 on): three in four photo fields 50 to 79,
// every tenth row with a 1 KB FeldBlob. Throws std::runtime_error when the file cannot be
// written.
void MakeDeviceExport(const std::string& path, const std::string& identity, int bulkRows = 0);

} // namespace orvendal::simulator
