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
    // key instead of the fixed key when it is not empty.
    explicit TCryptObject(const std::string& key);

    // The lines as text, each followed by CR LF, enciphered into dest.
    void EncryptLines(const std::vector<std::string>& lines, TStream& dest);
    // Deciphers source into lines (split at CR LF, LF or a lone CR); false and no lines on failure.
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

// The functions below each create a TCryptObject for their work. key: a key text to use
// instead of the fixed key (for containers made with another key); empty: the fixed key.

// Both streams rewound; dest receives a mode-2 container of the whole source.
void EncryptStream(TStream& source, TStream& dest, const std::string& key = "");
// Deciphers the container in source into dest and rewinds dest; false on a bad header or key.
bool DecryptStream(TStream& dest, TStream& source, const std::string& key = "");
void EncryptLines(const std::vector<std::string>& lines, TStream& dest,
                  const std::string& key = "");
bool DecryptLines(TStream& source, std::vector<std::string>& lines, const std::string& key = "");
void EncryptText(const std::string& text, TStream& dest, const std::string& key = "");
void DecryptText(TStream& source, std::string& text, const std::string& key = "");
void EncryptTextToHex(const std::string& text, std::string& hex, const std::string& key = "");
void DecryptHexText(const std::string& hex, std::string& text, const std::string& key = "");

} // namespace orvendal
