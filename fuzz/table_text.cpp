// Arbitrary bytes as an XML table document and as a separated-values table file: the table reads
// stay in range, and a table file keeps one line per non-blank input line through formatting.
#include "tables/CSV.h"
#include "tables/XMLProc.h"

#include <cstdlib>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvendal;
    TMemoryStream bytes(std::vector<uint8_t>(data, data + size));
    TXMLModul table;
    try {
        table.LoadFromStream(bytes);
        for (int row = 0; row <= table.RowCount() + 1; ++row) {
            for (int field = -1; field <= table.FieldCount(row) + 1; ++field) {
                (void)table.GetValue(row, field);
                (void)table.GetName(row, field);
            }
        }
        table.SetValue(table.RowCount() + 1, 3, "x");
        if (table.GetValue(table.RowCount(), 3) != "x") {
            std::abort();
        }
    } catch (const std::runtime_error&) {
    }

    for (uint8_t format = 0; format <= 2; ++format) {
        TCSVFile file;
        bytes.Rewind();
        file.LoadFromStream(bytes);
        file.FieldNames = {"Id", "Name"};
        file.OutputFormat = format;
        const int records = file.Count();
        file.FormatTable();
        const int frame = format == 0 ? 0 : format == 1 ? 4 : 3;
        if (file.Count() != records + frame) {
            std::abort();
        }
    }
    return 0;
}
