#pragma once
// Blowfish with 16 rounds over one process-wide key state, with the little-endian word order
// and the persistent CBC chaining value of the BFH container.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace orvendal {

// Raised for a key whose schedule puts the same value twice into one S-box.
class EWeakKey : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace blowfish {

using TSBoxes = std::array<std::array<uint32_t, 256>, 4>;

// Runs the key schedule on the process-wide state; an empty key restores the initial pi
// tables. Throws EWeakKey (the tables keep the rejected schedule) when CheckSBoxes refuses.
void SetKey(const std::string& key);
// Throws EWeakKey with the text of the user's language when a box holds a value twice.
void CheckSBoxes(const TSBoxes& boxes);
// The refusal text: German when LC_ALL, LC_MESSAGES or LANG (first one set) starts with "de".
std::string WeakKeyMessage();

// One block in place; left and right are the two halves.
void EncipherBlock(uint32_t& left, uint32_t& right);
void DecipherBlock(uint32_t& left, uint32_t& right);

// CBC over floor(n/8) blocks of data (little-endian words); the bytes after the last whole
// block are left alone. chain is read and updated so that chunked calls form one chain.
void EncipherCBC(uint8_t* data, size_t n, uint32_t chain[2]);
void DecipherCBC(uint8_t* data, size_t n, uint32_t chain[2]);

} // namespace blowfish
} // namespace orvendal
