#pragma once
// Blowfish with 16 rounds and CBC over little-endian words. The key state is one per process:
// setting a key replaces it for every user of the cipher.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace orvendal {

// A key whose schedule put the same value twice into an S-box.
class EWeakKey : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The CBC chaining value; it carries over from one call to the next.
struct TChain {
    uint32_t C0 = 0;
    uint32_t C1 = 0;
};

// Back to the unkeyed initial tables (the digits of pi).
void BlowfishReset();
// Runs the key schedule for key (bytes, cycled over 72 bytes); an empty key resets. Throws
// EWeakKey when an S-box holds a value twice; the tables keep that schedule.
void BlowfishSetKey(const std::string& key);
// One block, left and right half.
void BlowfishEncipher(uint32_t& left, uint32_t& right);
void BlowfishDecipher(uint32_t& left, uint32_t& right);
// CBC over the whole 8-byte blocks of buffer; bytes after the last whole block stay untouched.
void BlowfishEncipherCBC(uint8_t* buffer, size_t n, TChain& chain);
void BlowfishDecipherCBC(uint8_t* buffer, size_t n, TChain& chain);

// The weak-key test: true when one of the four S-boxes holds a value twice.
bool HasRepeatedEntry(const uint32_t (&sboxes)[4][256]);
// The rejection text in the user's language (German when LC_ALL, LC_MESSAGES or LANG, the
// first one set, starts with "de").
std::string WeakKeyMessage();

} // namespace orvendal
