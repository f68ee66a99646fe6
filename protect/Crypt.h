#pragma once
// The system's fixed-key cipher object and the functions that encipher settings files and code
// mail subjects with it. All texts here are Windows-1252 bytes; convert with protect/Ansi.h.

#include "protect/BFH.h"
#include "protect/Streams.h"

#include <string>
#include <vector>

namespace orvendal {

// A TBFH that carries the fixed key. Creating one re-keys the process.
class TCryptObject : public TBFH {
public:
    TCryptObject();
    // The fixed key every settings file and coded subject is made with.
    static std::string FixedKey();
};

// Each function below works with a fresh TCryptObject. key: the key text to use instead of
// the fixed key (for containers made with another key); empty means the fixed key.

// Destination (rewound) receives a mode-2 container of the whole source.
void EncryptStream(TStream& source, TStream& destination, const std::string& key = "");
// Deciphers source into destination and rewinds it; false on a bad header or wrong key.
bool DecryptStream(TStream& destination, TStream& source, const std::string& key = "");
// The lines, each followed by CR LF, enciphered into destination.
void EncryptLines(const std::vector<std::string>& lines, TStream& destination,
                  const std::string& key = "");
// The deciphered lines (split at CR LF, LF or CR); false and an empty list on failure.
bool DecryptLines(TStream& source, std::vector<std::string>& lines, const std::string& key = "");
// The text as one line (followed by CR LF) enciphered into destination.
void EncryptText(const std::string& text, TStream& destination, const std::string& key = "");
// The deciphered lines joined with CR LF (no final CR LF); empty on failure.
void DecryptText(TStream& source, std::string& text, const std::string& key = "");
// EncryptText as lower-case hexadecimal digits, two per container byte.
void EncryptTextToHex(const std::string& text, std::string& hex, const std::string& key = "");
// Pairs of hex digits (others count as 0, an odd last one is ignored) deciphered as a text;
// empty when they are no valid container.
void DecryptHexText(const std::string& hex, std::string& text, const std::string& key = "");

} // namespace orvendal
