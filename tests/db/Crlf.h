#pragma once
// Statement texts written on one line for the tables of the database tests.

#include <cstring>
#include <string>

namespace orvendal::testing {

// A line break, or the two characters \n, become CR LF.
inline std::string Crlf(std::string text) {
    for (const char* from : {"\n", "\\n"})
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 2))
            text.replace(at, std::strlen(from), "\r\n");
    return text;
}

} // namespace orvendal::testing
