#include "protect/Crypt.h"

#include "protect/Ansi.h"

namespace orvendal {
namespace {

// The fixed key: a sentence of 63 characters joined with the unit's own text. Every
// TCryptObject uses it; settings files and coded subjects can only be read with it.
const char FixedSentence[] = "Wer die Einstellungen der Monteure lesen will, braucht den Satz";
const char UnitText[] = "Orvendal/Protect";
static_assert(sizeof FixedSentence - 1 == 63);

// 0-9, A-F, a-f give their value; every other character counts as 0.
int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
        return (c | 0x20) - 'a' + 10;
    }
    return 0;
}

std::string FixedKey() {
    return std::string(FixedSentence) + UnitText;
}

} // namespace

TCryptObject::TCryptObject() : TCryptObject(std::string()) {}

TCryptObject::TCryptObject(const std::string& key) {
    SetKeyword(key.empty() ? FixedKey() : key);
}

void TCryptObject::EncryptLines(const std::vector<std::string>& lines, TStream& dest) {
    TMemoryStream plain;
    for (const std::string& line : lines) {
        plain.WriteString(line);
        plain.WriteString("\r\n");
    }
    EncryptStream(plain, dest);
}

bool TCryptObject::DecryptLines(TStream& source, std::vector<std::string>& lines) {
    TMemoryStream plain;
    lines.clear();
    if (!DecryptStream(source, plain)) {
        return false;
    }
    lines = SplitLines(plain.AsString());
    return true;
}

void TCryptObject::EncryptText(const std::string& text, TStream& dest) {
    EncryptLines({text}, dest);
}

void TCryptObject::DecryptText(TStream& source, std::string& text) {
    std::vector<std::string> lines;
    text.clear();
    DecryptLines(source, lines);
    for (size_t i = 0; i < lines.size(); ++i) {
        text += (i == 0 ? "" : "\r\n") + lines[i];
    }
}

void TCryptObject::EncryptTextToHex(const std::string& text, std::string& hex) {
    static const char Digits[] = "0123456789abcdef";
    TMemoryStream container;
    EncryptText(text, container);
    hex.clear();
    for (uint8_t byte : container.Bytes()) {
        hex += Digits[byte >> 4];
        hex += Digits[byte & 15];
    }
}

void TCryptObject::DecryptHexText(const std::string& hex, std::string& text) {
    TMemoryStream container;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const uint8_t byte = uint8_t(16 * HexValue(hex[i]) + HexValue(hex[i + 1]));
        container.Write(&byte, 1);
    }
    DecryptText(container, text);
}

void EncryptStream(TStream& source, TStream& dest, const std::string& key) {
    TCryptObject(key).EncryptStream(source, dest);
}

bool DecryptStream(TStream& dest, TStream& source, const std::string& key) {
    const bool ok = TCryptObject(key).DecryptStream(source, dest);
    dest.Rewind();
    return ok;
}

void EncryptLines(const std::vector<std::string>& lines, TStream& dest, const std::string& key) {
    TCryptObject(key).EncryptLines(lines, dest);
}

bool DecryptLines(TStream& source, std::vector<std::string>& lines, const std::string& key) {
    return TCryptObject(key).DecryptLines(source, lines);
}

void EncryptText(const std::string& text, TStream& dest, const std::string& key) {
    TCryptObject(key).EncryptText(text, dest);
}

void DecryptText(TStream& source, std::string& text, const std::string& key) {
    TCryptObject(key).DecryptText(source, text);
}

void EncryptTextToHex(const std::string& text, std::string& hex, const std::string& key) {
    TCryptObject(key).EncryptTextToHex(text, hex);
}

void DecryptHexText(const std::string& hex, std::string& text, const std::string& key) {
    TCryptObject(key).DecryptHexText(hex, text);
}

} // namespace orvendal
