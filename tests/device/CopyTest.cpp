// The two copies over the folder-backed handheld library, loaded through RapiLoad.

#include "device/DeviceSandbox.h"
#include "device/WinCE.h"

#include <gtest/gtest.h>

namespace orvendal {
namespace {

using testing::Entries;
using testing::Pattern;
using testing::ReadBytes;
using testing::WriteBytes;

class CopyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_FOLDER_LIBRARY, 1);
        ASSERT_TRUE(RapiLoad());
    }
    void TearDown() override { unsetenv("ORVENDAL_DEVICE_CHUNK"); }

    testing::TDeviceSandbox box;
};

struct TRoundTrip {
    const char* Name;
    size_t Size;
    const char* Chunk; // most bytes per library call; nullptr: the whole block at once
};

class RoundTripTest : public CopyTest, public ::testing::WithParamInterface<TRoundTrip> {};

TEST_P(RoundTripTest, EveryByteArrivesBothWays) {
    const TRoundTrip& c = GetParam();
    if (c.Chunk != nullptr)
        setenv("ORVENDAL_DEVICE_CHUNK", c.Chunk, 1);
    const auto bytes = Pattern(c.Size);
    WriteBytes(box.At("out.xml"), bytes);

    ASSERT_TRUE(CopyFileToDevice(box.At("out.xml"), "\\Storage Card\\Table.xml"));
    EXPECT_EQ(ReadBytes(box.Card("Table.xml")), bytes);

    ASSERT_TRUE(CopyFileFromDevice(box.At("back.xml"), "\\Storage Card\\Table.xml"));
    EXPECT_EQ(ReadBytes(box.At("back.xml")), bytes);
    EXPECT_EQ(Entries(box.Desktop), (std::set<std::string>{"back.xml", "out.xml"}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, RoundTripTest,
                         ::testing::Values(TRoundTrip{"Empty", 0, nullptr},
                                           TRoundTrip{"OneByte", 1, nullptr},
                                           TRoundTrip{"Small", 4103, nullptr},
                                           TRoundTrip{"Large", 8u << 20, nullptr},
                                           TRoundTrip{"LargeInPieces", 8u << 20, "65536"},
                                           TRoundTrip{"OddPieces", 100003, "997"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CopyTest, ReplacesExistingTargetsOnBothSides) {
    WriteBytes(box.Card("Table.xml"), Pattern(5000, 7));
    WriteBytes(box.At("in.xml"), Pattern(3000, 8));
    ASSERT_TRUE(CopyFileToDevice(box.At("in.xml"), "\\Storage Card\\Table.xml"));
    EXPECT_EQ(ReadBytes(box.Card("Table.xml")), Pattern(3000, 8));

    WriteBytes(box.Card("Table.xml"), Pattern(10, 9));
    ASSERT_TRUE(CopyFileFromDevice(box.At("in.xml"), "\\Storage Card\\Table.xml"));
    EXPECT_EQ(ReadBytes(box.At("in.xml")), Pattern(10, 9));
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{"in.xml"});
}

// Every refused copy fails and leaves both sides as they were.
TEST_F(CopyTest, RefusedCopiesChangeNothing) {
    const auto card = box.Root / "Storage Card";
    EXPECT_FALSE(CopyFileFromDevice(box.At("x.xm_"), "\\Storage Card\\x.xm_")); // no such file
    EXPECT_FALSE(CopyFileToDevice(box.At("none.xml"), "\\Storage Card\\none.xml"));
    EXPECT_TRUE(Entries(box.Desktop).empty());
    EXPECT_TRUE(Entries(card).empty());

    WriteBytes(box.At("x.xm_"), Pattern(64)); // an older desktop copy stays
    EXPECT_FALSE(CopyFileFromDevice(box.At("x.xm_"), "\\Storage Card\\x.xm_"));
    EXPECT_EQ(ReadBytes(box.At("x.xm_")), Pattern(64));

    WriteBytes(box.Card("Table.xml"), Pattern(100)); // desktop targets that cannot be made
    EXPECT_FALSE(CopyFileFromDevice(box.At("no-folder/Table.xml"), "\\Storage Card\\Table.xml"));
    std::filesystem::create_directory(box.At("folder"));
    EXPECT_FALSE(CopyFileFromDevice(box.At("folder"), "\\Storage Card\\Table.xml"));
    EXPECT_TRUE(std::filesystem::is_directory(box.At("folder")));
    EXPECT_EQ(Entries(box.Desktop), (std::set<std::string>{"folder", "x.xm_"}));

    std::filesystem::create_symlink("/dev/full", box.Card("full.xml")); // a full device
    EXPECT_FALSE(CopyFileToDevice(box.At("x.xm_"), "\\Storage Card\\full.xml"));

    unsetenv("ORVENDAL_DEVICE_ROOT"); // no device attached
    EXPECT_FALSE(CopyFileToDevice(box.At("x.xm_"), "\\Storage Card\\in.xml"));
    EXPECT_FALSE(CopyFileFromDevice(box.At("got.xml"), "\\Storage Card\\Table.xml"));
    EXPECT_EQ(Entries(box.Desktop), (std::set<std::string>{"folder", "x.xm_"}));
    EXPECT_EQ(Entries(card), (std::set<std::string>{"Table.xml", "full.xml"}));
}

} // namespace
} // namespace orvendal
