#include "protect/ZLibStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace orvendal {
namespace {

std::vector<uint8_t> Sample(size_t n) {
    std::vector<uint8_t> data(n);
    uint32_t x = 12345;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = i % 3 == 0 ? uint8_t(x >> 24) : uint8_t('a' + i % 7);
    }
    return data;
}

std::vector<uint8_t> Deflated(const std::vector<uint8_t>& plain) {
    TMemoryStream source(plain), packed;
    DeflateStream(source, packed);
    return packed.Bytes();
}

TEST(ZLibStream, RoundTripsAndMatchesZlib) {
    for (size_t n : {size_t(0), size_t(1), size_t(1000), size_t(700000)}) {
        const std::vector<uint8_t> plain = Sample(n);
        const std::vector<uint8_t> packed = Deflated(plain);
        // zlib itself reads it back.
        std::vector<uint8_t> check(n + 1);
        uLongf size = check.size();
        ASSERT_EQ(uncompress(check.data(), &size, packed.data(), packed.size()), Z_OK) << n;
        EXPECT_EQ(size, n);
        TMemoryStream source(packed), out;
        out.WriteString("kept:");
        InflateStream(source, out);
        EXPECT_EQ(out.Size(), 5 + n);
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), out.Bytes().begin() + 5)) << n;
    }
}

TEST(ZLibStream, DeflateStartsAtTheSourceStartAndWritesAtTheDestination) {
    TMemoryStream source(Sample(100)), packed;
    source.Seek(60);
    packed.WriteString("XY");
    DeflateStream(source, packed);
    TMemoryStream in(std::vector<uint8_t>(packed.Bytes().begin() + 2, packed.Bytes().end())), out;
    InflateStream(in, out);
    EXPECT_EQ(out.Bytes(), Sample(100));
}

TEST(ZLibStream, EmptyDeflateIsAValidStreamOfNothing) {
    const std::vector<uint8_t> packed = Deflated({});
    EXPECT_EQ(packed.size(), 8u); // header, empty final block, Adler-32 of nothing
    EXPECT_EQ(packed[packed.size() - 1], 1);
    TMemoryStream source(packed), out;
    InflateStream(source, out);
    EXPECT_EQ(out.Size(), 0u);
}

TEST(ZLibStream, DamagedOrTruncatedStreamsRaise) {
    const std::vector<uint8_t> good = Deflated(Sample(5000));
    struct {
        const char* what;
        std::vector<uint8_t> data;
    } cases[] = {
        {"empty", {}},
        {"not zlib", {'P', 'K', 3, 4, 0, 0}},
        {"truncated", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)},
        {"no checksum", std::vector<uint8_t>(good.begin(), good.end() - 4)},
        {"bad Adler", good},
    };
    cases[4].data.back() ^= 0x01;
    for (auto& c : cases) {
        TMemoryStream source(c.data), out;
        EXPECT_THROW(InflateStream(source, out), EZLibError) << c.what;
    }
}

TEST(ZLibStream, InflateStopsAtTheEndMarker) {
    std::vector<uint8_t> data = Deflated(Sample(300));
    const size_t end = data.size();
    data.push_back('T');
    TMemoryStream source(data), out;
    InflateStream(source, out);
    EXPECT_EQ(out.Bytes(), Sample(300));
    EXPECT_EQ(source.Position(), end);
}

TEST(ZLibStream, InflateBufferReplacesOrKeepsTheContent) {
    TMemoryStream buffer(Deflated(Sample(2000)));
    buffer.Seek(7);
    InflateBuffer(buffer);
    EXPECT_EQ(buffer.Bytes(), Sample(2000));
    EXPECT_EQ(buffer.Position(), 0u);

    TMemoryStream junk(std::vector<uint8_t>{1, 2, 3, 4});
    EXPECT_THROW(InflateBuffer(junk), EZLibError);
    EXPECT_EQ(junk.Bytes(), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(ZLibStream, InflateFileInPlace) {
    const std::string name = ::testing::TempDir() + "inflate-" + std::to_string(getpid()) + ".xm_";
    TMemoryStream(Deflated(Sample(4000))).SaveToFile(name);
    InflateFile(name);
    TMemoryStream back;
    back.LoadFromFile(name);
    EXPECT_EQ(back.Bytes(), Sample(4000));
    std::remove(name.c_str());
    EXPECT_THROW(InflateFile(name), std::runtime_error);
}

} // namespace
} // namespace orvendal
