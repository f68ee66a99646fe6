// The Jet translation on arbitrary statement texts (values from the handheld reach them); every
// value taken out of the text must leave one "?" in it.
#include "db/engine/JetSQL.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvendal;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const jet::TStatement statement = jet::Translate(
        text, [](const std::string&, const std::string& column) { return column.size() % 2; });
    if (static_cast<size_t>(std::count(statement.Sql.begin(), statement.Sql.end(), '?')) <
        statement.Parameters.size()) {
        std::abort();
    }
    return 0;
}
