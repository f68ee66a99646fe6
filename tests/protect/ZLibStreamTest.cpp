// zlib streams: round trips that zlib itself reads, positions, the end marker, and damaged or
// truncated streams that raise and leave buffers and files as they were.
#include "protect/ZLibStream.h"
#include "common/TempFolder.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace orvendal {
namespace {

using TBytes = std::vector<uint8_t>;

TBytes Sample(size_t n) {
    TBytes data(n);
    for (uint32_t i = 0, x = 12345; i < n; ++i, x = x * 1103515245u + 12345u)
        data[i] = i % 3 == 0 ? uint8_t(x >> 24) : uint8_t('a' + i % 7);
    return data;
}

TBytes Deflated(const TBytes& plain) {
    TMemoryStream source(plain), packed;
    source.Seek(plain.size() / 2); // deflate starts at the source's start
    packed.WriteString("XY");      // and writes at the destination's position
    DeflateStream(source, packed);
    return TBytes(packed.Bytes().begin() + 2, packed.Bytes().end());
}

TEST(ZLibStream, RoundTripsThatZlibReadsToo) {
    for (size_t n : {0, 1, 1000, 700000}) {
        const TBytes plain = Sample(n), packed = Deflated(plain);
        TBytes check(n + 1);
        uLongf size = check.size();
        ASSERT_EQ(uncompress(check.data(), &size, packed.data(), packed.size()), Z_OK) << n;
        EXPECT_EQ(size, n);
        TBytes trailing = packed;
        trailing.push_back('T');
        TMemoryStream source(trailing), out;
        out.WriteString("kept:");
        InflateStream(source, out);
        EXPECT_EQ(TBytes(out.Bytes().begin() + 5, out.Bytes().end()), plain) << n;
        EXPECT_EQ(source.Position(), packed.size()); // stops at the end marker
    }
    EXPECT_EQ(Deflated({}).size(), 8u); // header, empty final block, Adler-32 of nothing
}

TEST(ZLibStream, DamagedOrTruncatedStreamsRaiseAndKeepWhatWasThere) {
    const TBytes good = Deflated(Sample(5000));
    TBytes badAdler = good;
    badAdler.back() ^= 1;
    for (const TBytes& data :
         {TBytes{}, TBytes{'P', 'K', 3, 4, 0, 0}, TBytes(good.begin(), good.begin() + 900),
          TBytes(good.begin(), good.end() - 4), badAdler}) {
        TMemoryStream source(data), out, buffer(data);
        EXPECT_THROW(InflateStream(source, out), EZLibError) << data.size();
        EXPECT_THROW(InflateBuffer(buffer), EZLibError);
        EXPECT_EQ(buffer.Bytes(), data);
    }
    TMemoryStream buffer(good);
    buffer.Seek(7);
    InflateBuffer(buffer);
    EXPECT_EQ(buffer.Bytes(), Sample(5000));
    EXPECT_EQ(buffer.Position(), 0u);
}

TEST(ZLibStream, InflateFileInPlace) {
    testing::TTempFolder folder;
    const std::string name = folder.File("x.xm_");
    TMemoryStream(Deflated(Sample(4000))).SaveToFile(name);
    InflateFile(name);
    TMemoryStream back;
    back.LoadFromFile(name);
    EXPECT_EQ(back.Bytes(), Sample(4000));
    TMemoryStream(TBytes{1, 2, 3}).SaveToFile(name);
    EXPECT_THROW(InflateFile(name), EZLibError);
    back.LoadFromFile(name);
    EXPECT_EQ(back.Bytes(), (TBytes{1, 2, 3}));
    EXPECT_THROW(InflateFile(folder.File("missing")), std::runtime_error);
}

} // namespace
} // namespace orvendal
