#pragma once
// What one exchange run did, for the console's summary and report: filled by the run beside
// what it shows, never read by it.

#include <map>
#include <string>

namespace orvendal {

struct TExchangeResult {
    bool Docked = true;     // the handheld's export was read, or the device type needs none
    bool Completed = false; // the run went through the server steps (and the import) to its end
    bool Failed = false;    // a step failed and said so
    std::string Transport;  // "HTTP" or "Mail"; empty when the server steps did not run
    int RowsExported = 0;   // rows of the handheld's export in "export.mdb"
    int TablesWritten = 0;  // table files of the server's answer written onto the handheld
    std::map<std::string, int> RowsMerged; // rows taken into "mobil.mdb", by table
    int RowsRefused = 0;                   // rows of the answer that "mobil.mdb" refused
    int PhotosSent = 0;                    // photo rows sent in this run

    // Went to its end with the handheld docked and no failed step.
    bool Clean() const { return Completed && Docked && !Failed; }
};

} // namespace orvendal
