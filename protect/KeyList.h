#pragma once
// A deciphered settings file as its list of "key=value" lines.

#include "protect/Streams.h"

#include <string>
#include <vector>

namespace orvendal {

class TKeyList {
public:
    // Deciphers the settings file in stream with the fixed key; its Windows-1252 text becomes
    // UTF-8. False, with an empty list, when it does not decipher.
    bool Load(TStream& stream);
    // The text after the first "=" of the line whose text before it is key; "" when absent.
    std::string Value(const std::string& key) const;
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

} // namespace orvendal
