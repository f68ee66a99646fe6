#include "protect/Crypt.h"

#include "tables/UserFkt.h"

namespace orvendal {
namespace {

// The fixed key is a sentence joined with this unit's own text; both stay in this file only.
const char* const kKeySentence = "Orvendal schuetzt die Einstellungen der mobilen Geraete im Feld";
const char* const kKeyUnitText = "-VQ1";

class TKeyedCrypt : public TCryptObject {
public:
    explicit TKeyedCrypt(const std::string& key) {
        if (!key.empty()) {
            SetKeyword(key);
        }
    }
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TCryptObject::TCryptObject() {
    SetKeyword(FixedKey());
}

std::string TCryptObject::FixedKey() {
    return std::string(kKeySentence) + kKeyUnitText;
}

void EncryptStream(TStream& source, TStream& destination, const std::string& key) {
    TKeyedCrypt(key).EncryptStream(source, destination);
}

bool DecryptStream(TStream& destination, TStream& source, const std::string& key) {
    const bool ok = TKeyedCrypt(key).DecryptStream(source, destination);
    destination.Rewind();
    return ok;
}

void EncryptLines(const std::vector<std::string>& lines, TStream& destination,
                  const std::string& key) {
    TMemoryStream plain;
    for (const std::string& line : lines) {
        plain.WriteString(line);
        plain.WriteString("\r\n");
    }
    EncryptStream(plain, destination, key);
}

bool DecryptLines(TStream& source, std::vector<std::string>& lines, const std::string& key) {
    TMemoryStream plain;
    const bool ok = DecryptStream(plain, source, key);
    lines = ok ? SplitLines(plain.AsString()) : std::vector<std::string>{};
    return ok;
}

void EncryptText(const std::string& text, TStream& destination, const std::string& key) {
    EncryptLines({text}, destination, key);
}

void DecryptText(TStream& source, std::string& text, const std::string& key) {
    std::vector<std::string> lines;
    DecryptLines(source, lines, key);
    text.clear();
    for (size_t i = 0; i < lines.size(); ++i) {
        text += (i > 0 ? "\r\n" : "") + lines[i];
    }
}

void EncryptTextToHex(const std::string& text, std::string& hex, const std::string& key) {
    static const char digits[] = "0123456789abcdef";
    TMemoryStream container;
    EncryptText(text, container, key);
    hex.clear();
    for (uint8_t byte : container.Bytes()) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
}

void DecryptHexText(const std::string& hex, std::string& text, const std::string& key) {
    TMemoryStream container;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const auto byte = uint8_t(16 * HexDigitValue(hex[i]) + HexDigitValue(hex[i + 1]));
        container.Write(&byte, 1);
    }
    container.Rewind();
    DecryptText(container, text, key);
}

} // namespace orvendal
