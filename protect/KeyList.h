#pragma once
// The key list of a settings file: lines of "key=value" deciphered with the fixed key.

#include "protect/Streams.h"

#include <string>
#include <vector>

namespace orvendal {

class TKeyList {
public:
    // Deciphers the container in enciphered (from its start) and converts each line from
    // Windows-1252 to UTF-8; false and an empty list when it does not decipher.
    bool Load(TStream& enciphered);
    // The part after the first '=' of the first line whose part before it equals key; "" when
    // no line has that key.
    std::string Value(const std::string& key) const;
    // The lines as read, in UTF-8.
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// The counterpart of TKeyList::Load: UTF-8 lines enciphered as Windows-1252 text (with key, or
// the fixed key when it is empty).
void SaveKeyLines(const std::vector<std::string>& lines, TStream& dest,
                  const std::string& key = "");

} // namespace orvendal
