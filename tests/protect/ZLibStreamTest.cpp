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

// Deflates from the source's start (its position is mid-way) at the destination's position.
TBytes Deflated(const TBytes& plain) {
    TMemoryStream source(plain), packed;
    source.Seek(plain.size() / 2);
    packed.WriteString("XY");
    DeflateStream(source, packed);
    return TBytes(packed.Bytes().begin() + 2, packed.Bytes().end());
}

TEST(ZLibStream, RoundTripsThatZlibReadsToo) {
    for (size_t n : {0, 1, 1000, 700000}) {
        const TBytes plain = Sample(n), packed = Deflated(plain);
        TBytes check(n + 1), trailing = packed;
        uLongf size = check.size();
        ASSERT_EQ(uncompress(check.data(), &size, packed.data(), packed.size()), Z_OK) << n;
        EXPECT_EQ(size, n);
        trailing.push_back('T');
        TMemoryStream source(trailing), out(TBytes{'k'});
        out.Seek(1);
        InflateStream(source, out);
        EXPECT_EQ(TBytes(out.Bytes().begin() + 1, out.Bytes().end()), plain) << n;
        EXPECT_EQ(source.Position(), packed.size()); // stops at the end marker
    }
    EXPECT_EQ(Deflated({}).size(), 8u); // header, empty final block, Adler-32 of nothing
}

TEST(ZLibStream, DamagedOrTruncatedStreamsRaiseAndKeepWhatWasThere) {
    const TBytes good = Deflated(Sample(5000));
    TBytes badAdler = good;
    badAdler.back() ^= 1;
    testing::TTempFolder folder;
    const std::string file = folder.File("x.xm_");
    for (const TBytes& data :
         {TBytes{}, TBytes{'P', 'K', 3, 4}, TBytes(good.begin(), good.begin() + 900),
          TBytes(good.begin(), good.end() - 4), badAdler, good}) {
        TMemoryStream source(data), out, buffer(data), back;
        TMemoryStream(data).SaveToFile(file);
        const bool damaged = data != good;
        const auto raises = [](const auto& inflate) {
            try {
                inflate();
            } catch (const EZLibError&) {
                return true;
            }
            return false;
        };
        EXPECT_EQ(raises([&] { InflateStream(source, out); }), damaged) << data.size();
        EXPECT_EQ(raises([&] { InflateBuffer(buffer); }), damaged) << data.size();
        EXPECT_EQ(raises([&] { InflateFile(file); }), damaged) << data.size();
        back.LoadFromFile(file);
        EXPECT_EQ(buffer.Bytes(), damaged ? data : Sample(5000));
        EXPECT_EQ(back.Bytes(), damaged ? data : Sample(5000));
    }
    EXPECT_THROW(InflateFile(folder.File("missing")), std::runtime_error);
}

} // namespace
} // namespace orvendal
