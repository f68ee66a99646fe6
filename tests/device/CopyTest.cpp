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

void PrintTo(const TRoundTrip& c, std::ostream* os) {
    *os << c.Name;
}

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

TEST_F(CopyTest, MissingDeviceFileFailsAndLeavesTheDesktopAlone) {
    EXPECT_FALSE(CopyFileFromDevice(box.At("ExportData.xm_"), "\\Storage Card\\ExportData.xm_"));
    EXPECT_TRUE(Entries(box.Desktop).empty());

    WriteBytes(box.At("ExportData.xm_"), Pattern(64));
    EXPECT_FALSE(CopyFileFromDevice(box.At("ExportData.xm_"), "\\Storage Card\\ExportData.xm_"));
    EXPECT_EQ(ReadBytes(box.At("ExportData.xm_")), Pattern(64));
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{"ExportData.xm_"});
}

TEST_F(CopyTest, MissingDesktopSourceFailsWithoutTouchingTheDevice) {
    EXPECT_FALSE(CopyFileToDevice(box.At("none.xml"), "\\Storage Card\\none.xml"));
    EXPECT_TRUE(Entries(box.Root / "Storage Card").empty());
}

TEST_F(CopyTest, DesktopTargetThatCannotBeCreatedFails) {
    WriteBytes(box.Card("Table.xml"), Pattern(100));
    EXPECT_FALSE(CopyFileFromDevice(box.At("no-folder/Table.xml"), "\\Storage Card\\Table.xml"));
    std::filesystem::create_directory(box.At("folder"));
    EXPECT_FALSE(CopyFileFromDevice(box.At("folder"), "\\Storage Card\\Table.xml"));
    EXPECT_TRUE(std::filesystem::is_directory(box.At("folder")));
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{"folder"});
}

TEST_F(CopyTest, DeviceThatCannotStoreTheBytesFails) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "/dev/full is not available";
    std::filesystem::create_symlink("/dev/full", box.Card("full.xml"));
    WriteBytes(box.At("in.xml"), Pattern(1000));
    EXPECT_FALSE(CopyFileToDevice(box.At("in.xml"), "\\Storage Card\\full.xml"));
}

TEST_F(CopyTest, NoDeviceAttachedFailsBothWays) {
    WriteBytes(box.At("in.xml"), Pattern(10));
    WriteBytes(box.Card("in.xml"), Pattern(10));
    unsetenv("ORVENDAL_DEVICE_ROOT");
    EXPECT_FALSE(CopyFileToDevice(box.At("in.xml"), "\\Storage Card\\in.xml"));
    EXPECT_FALSE(CopyFileFromDevice(box.At("got.xml"), "\\Storage Card\\in.xml"));
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{"in.xml"});
}

} // namespace
} // namespace orvendal
