#include "protect/Blowfish.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvendal {
namespace {

constexpr uint32_t kInitial[18 + 4 * 256] = {
#include "protect/BlowfishTables.inc"
};

struct TState {
    uint32_t P[18];
    uint32_t S[4][256];
};

TState& State() {
    static TState state = [] {
        TState s;
        std::memcpy(&s, kInitial, sizeof s);
        return s;
    }();
    return state;
}

inline uint32_t F(const TState& s, uint32_t x) {
    return ((s.S[0][x >> 24] + s.S[1][(x >> 16) & 0xFF]) ^ s.S[2][(x >> 8) & 0xFF]) +
           s.S[3][x & 0xFF];
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

} // namespace

void BlowfishReset() {
    std::memcpy(&State(), kInitial, sizeof(TState));
}

void BlowfishEncipher(uint32_t& left, uint32_t& right) {
    const TState& s = State();
    uint32_t l = left;
    uint32_t r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= s.P[i];
        r ^= F(s, l);
        r ^= s.P[i + 1];
        l ^= F(s, r);
    }
    left = r ^ s.P[17];
    right = l ^ s.P[16];
}

void BlowfishDecipher(uint32_t& left, uint32_t& right) {
    const TState& s = State();
    uint32_t l = left;
    uint32_t r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= s.P[i];
        r ^= F(s, l);
        r ^= s.P[i - 1];
        l ^= F(s, r);
    }
    left = r ^ s.P[0];
    right = l ^ s.P[1];
}

void BlowfishSetKey(const std::string& key) {
    BlowfishReset();
    if (key.empty()) {
        return;
    }
    TState& s = State();
    for (size_t j = 0; j < 72; ++j) {
        s.P[j / 4] ^= uint32_t(uint8_t(key[j % key.size()])) << (24 - 8 * (j % 4));
    }
    uint32_t l = 0;
    uint32_t r = 0;
    for (int i = 0; i < 18; i += 2) {
        BlowfishEncipher(l, r);
        s.P[i] = l;
        s.P[i + 1] = r;
    }
    for (auto& box : s.S) {
        for (int i = 0; i < 256; i += 2) {
            BlowfishEncipher(l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
    if (HasRepeatedEntry(s.S)) {
        throw EWeakKey(WeakKeyMessage());
    }
}

void BlowfishEncipherCBC(uint8_t* buffer, size_t n, TChain& chain) {
    for (size_t i = 0; i + 8 <= n; i += 8) {
        uint32_t l = LoadLE(buffer + i) ^ chain.C0;
        uint32_t r = LoadLE(buffer + i + 4) ^ chain.C1;
        BlowfishEncipher(l, r);
        StoreLE(buffer + i, l);
        StoreLE(buffer + i + 4, r);
        chain = {l, r};
    }
}

void BlowfishDecipherCBC(uint8_t* buffer, size_t n, TChain& chain) {
    for (size_t i = 0; i + 8 <= n; i += 8) {
        const TChain cipher{LoadLE(buffer + i), LoadLE(buffer + i + 4)};
        uint32_t l = cipher.C0;
        uint32_t r = cipher.C1;
        BlowfishDecipher(l, r);
        StoreLE(buffer + i, l ^ chain.C0);
        StoreLE(buffer + i + 4, r ^ chain.C1);
        chain = cipher;
    }
}

bool HasRepeatedEntry(const uint32_t (&sboxes)[4][256]) {
    for (const auto& box : sboxes) {
        uint32_t sorted[256];
        std::copy(std::begin(box), std::end(box), sorted);
        std::sort(std::begin(sorted), std::end(sorted));
        if (std::adjacent_find(std::begin(sorted), std::end(sorted)) != std::end(sorted)) {
            return true;
        }
    }
    return false;
}

std::string WeakKeyMessage() {
    std::string language;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            language = value;
            break;
        }
    }
    return language.starts_with("de") ? "Kennwort wurde als schwach bewertet und abgelehnt."
                                      : "Password was rated and refused as weakly.";
}

} // namespace orvendal
