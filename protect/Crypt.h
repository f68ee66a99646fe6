#pragma once
// The fixed-key crypt object and the functions that encipher and decipher streams, lines,
// texts and hex texts with it. All texts are raw Windows-1252 bytes.

#include "protect/BFH.h"
#include "protect/Streams.h"

#include <string>
#include <vector>

namespace orvendal {

// A TBFH that carries the system's fixed key; creating one re-keys the process.
class TCryptObject : public TBFH {
public:
    TCryptObject();

    // The lines as text, each followed by CR LF, enciphered into dest.
    void EncryptLines(const std::vector<std::string>& lines, TStream& dest);
    // Deciphers source into lines (split at CR LF or LF); false and no lines on failure.
    bool DecryptLines(TStream& source, std::vector<std::string>& lines);
    // The text as one line (followed by CR LF) enciphered into dest.
    void EncryptText(const std::string& text, TStream& dest);
    // The deciphered lines joined with CR LF; the empty text on failure.
    void DecryptText(TStream& source, std::string& text);
    // EncryptText into memory, then each byte as two lower-case hex digits.
    void EncryptTextToHex(const std::string& text, std::string& hex);
    // Pairs of hex digits (other characters count as 0, an odd last one is ignored) to bytes,
    // then DecryptText; the empty text when they are no valid container.
    void DecryptHexText(const std::string& hex, std::string& text);
};

// The functions below each create a TCryptObject for their work.

// Both streams rewound; dest receives a mode-2 container of the whole source.
void EncryptStream(TStream& source, TStream& dest);
// Deciphers the container in source into dest and rewinds dest; false on a bad header or key.
bool DecryptStream(TStream& dest, TStream& source);
void EncryptLines(const std::vector<std::string>& lines, TStream& dest);
bool DecryptLines(TStream& source, std::vector<std::string>& lines);
void EncryptText(const std::string& text, TStream& dest);
void DecryptText(TStream& source, std::string& text);
void EncryptTextToHex(const std::string& text, std::string& hex);
void DecryptHexText(const std::string& hex, std::string& text);

} // namespace orvendal
