#include "protect/Blowfish.h"

#include "protect/BlowfishTables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvendal::blowfish {
namespace {

// The one key state of the process, shared by every TBFH; starts as the unkeyed tables.
struct TState {
    std::array<uint32_t, 18> P;
    TSBoxes S;
};
TState State{InitialP, InitialS};

inline uint32_t F(const TSBoxes& s, uint32_t x) {
    return ((s[0][x >> 24] + s[1][(x >> 16) & 0xFF]) ^ s[2][(x >> 8) & 0xFF]) + s[3][x & 0xFF];
}

inline uint32_t LoadLE(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void StoreLE(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// The language of the user's messages, as the C library picks it.
const char* MessageLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "";
}

} // namespace

void EncipherBlock(uint32_t& left, uint32_t& right) {
    const auto& p = State.P;
    const auto& s = State.S;
    uint32_t l = left;
    uint32_t r = right;
#pragma GCC unroll 8
    for (int i = 0; i < 16; i += 2) {
        l ^= p[i];
        r ^= F(s, l);
        r ^= p[i + 1];
        l ^= F(s, r);
    }
    left = r ^ p[17];
    right = l ^ p[16];
}

void DecipherBlock(uint32_t& left, uint32_t& right) {
    const auto& p = State.P;
    const auto& s = State.S;
    uint32_t l = left;
    uint32_t r = right;
#pragma GCC unroll 8
    for (int i = 17; i > 1; i -= 2) {
        l ^= p[i];
        r ^= F(s, l);
        r ^= p[i - 1];
        l ^= F(s, r);
    }
    left = r ^ p[0];
    right = l ^ p[1];
}

void EncipherCBC(uint8_t* data, size_t n, uint32_t chain[2]) {
    uint32_t c0 = chain[0];
    uint32_t c1 = chain[1];
    for (size_t i = 0; i + 8 <= n; i += 8) {
        c0 ^= LoadLE(data + i);
        c1 ^= LoadLE(data + i + 4);
        EncipherBlock(c0, c1);
        StoreLE(data + i, c0);
        StoreLE(data + i + 4, c1);
    }
    chain[0] = c0;
    chain[1] = c1;
}

void DecipherCBC(uint8_t* data, size_t n, uint32_t chain[2]) {
    uint32_t c0 = chain[0];
    uint32_t c1 = chain[1];
    for (size_t i = 0; i + 8 <= n; i += 8) {
        const uint32_t k0 = LoadLE(data + i);
        const uint32_t k1 = LoadLE(data + i + 4);
        uint32_t l = k0;
        uint32_t r = k1;
        DecipherBlock(l, r);
        StoreLE(data + i, l ^ c0);
        StoreLE(data + i + 4, r ^ c1);
        c0 = k0;
        c1 = k1;
    }
    chain[0] = c0;
    chain[1] = c1;
}

std::string WeakKeyMessage() {
    return std::strncmp(MessageLocale(), "de", 2) == 0
               ? "Kennwort wurde als schwach bewertet und abgelehnt."
               : "Password was rated and refused as weakly.";
}

void CheckSBoxes(const TSBoxes& boxes) {
    for (const auto& box : boxes) {
        std::array<uint32_t, 256> sorted = box;
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
            throw EWeakKey(WeakKeyMessage());
        }
    }
}

void SetKey(const std::string& key) {
    State.P = InitialP;
    State.S = InitialS;
    if (key.empty()) {
        return;
    }
    // Key byte j goes into P word j div 4, most significant byte first, the key repeated.
    for (size_t j = 0; j < 72; ++j) {
        const uint32_t byte = static_cast<uint8_t>(key[j % key.size()]);
        State.P[j / 4] ^= byte << (8 * (3 - j % 4));
    }
    uint32_t l = 0;
    uint32_t r = 0;
    for (size_t i = 0; i < 18; i += 2) {
        EncipherBlock(l, r);
        State.P[i] = l;
        State.P[i + 1] = r;
    }
    for (auto& box : State.S) {
        for (size_t i = 0; i < 256; i += 2) {
            EncipherBlock(l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
    CheckSBoxes(State.S);
}

} // namespace orvendal::blowfish
