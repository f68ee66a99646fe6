#include "protect/KeyList.h"

#include "protect/Ansi.h"
#include "protect/Crypt.h"

namespace orvendal {

bool TKeyList::Load(TStream& enciphered) {
    if (!DecryptLines(enciphered, lines_)) {
        return false;
    }
    for (std::string& line : lines_) {
        line = AnsiToUtf8(line);
    }
    return true;
}

void SaveKeyLines(const std::vector<std::string>& lines, TStream& dest, const std::string& key) {
    std::vector<std::string> ansi;
    for (const std::string& line : lines) {
        ansi.push_back(Utf8ToAnsi(line));
    }
    EncryptLines(ansi, dest, key);
}

std::string TKeyList::Value(const std::string& key) const {
    for (const std::string& line : lines_) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && line.compare(0, eq, key) == 0 && eq == key.size()) {
            return line.substr(eq + 1);
        }
    }
    return {};
}

} // namespace orvendal
