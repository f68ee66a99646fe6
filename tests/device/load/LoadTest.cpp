// Loading without the library and with a library that lacks entry points. The library state is
// process-wide and loaded once, so each suite needs a fresh process: ctest runs this binary once
// per suite (--gtest_filter=RapiAbsent.* and --gtest_filter=RapiPartial.*).

#include "device/DeviceSandbox.h"
#include "device/WinCE.h"

#include <gtest/gtest.h>

namespace orvendal {
namespace {

using namespace testing; // the sandbox's byte helpers

TEST(RapiAbsent, CopiesFailTheProgramGoesOnAndLoadingIsRetried) {
    testing::TDeviceSandbox box;
    setenv("ORVENDAL_RAPI_LIBRARY", (box.Base / "no-such-rapi.so").c_str(), 1);
    WriteBytes(box.At("in.xml"), Pattern(50));
    WriteBytes(box.Card("ExportData.xm_"), Pattern(60));

    EXPECT_FALSE(RapiLoad());
    EXPECT_FALSE(CopyFileToDevice(box.At("in.xml"), "\\Storage Card\\in.xml"));
    EXPECT_FALSE(CopyFileFromDevice(box.At("out.xml"), "\\Storage Card\\ExportData.xm_"));
    EXPECT_EQ(Entries(box.Root / "Storage Card"), std::set<std::string>{"ExportData.xm_"});
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{"in.xml"});

    // every wrapper answers with its failure value
    RAPIINIT init{12, 0, 0};
    DWORD done = 5;
    char buffer[4] = {};
    EXPECT_EQ(CeRapiInitEx(&init), 0xFFFF);
    EXPECT_EQ(CeRapiUninit(), 0xFFFF);
    EXPECT_EQ(CeCreateFile(u"\\Storage Card\\ExportData.xm_", GENERIC_READ, 0, nullptr,
                           OPEN_EXISTING, 0, 0),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CeGetFileSize(1, nullptr), 0xFFFFu);
    EXPECT_FALSE(CeReadFile(1, buffer, sizeof buffer, &done, nullptr));
    EXPECT_FALSE(CeWriteFile(1, buffer, sizeof buffer, &done, nullptr));
    EXPECT_FALSE(CeCloseHandle(1));
    EXPECT_EQ(done, 5u) << "nothing was called";

    // the next call tries again, and finds the library once it is there
    setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_FOLDER_LIBRARY, 1);
    ASSERT_TRUE(RapiLoad());
    ASSERT_TRUE(CopyFileFromDevice(box.At("out.xml"), "\\Storage Card\\ExportData.xm_"));
    EXPECT_EQ(ReadBytes(box.At("out.xml")), Pattern(60));
}

// The partial library has CeRapiInit but not CeRapiInitEx, and no CeGetFileSize.
TEST(RapiPartial, InitFallsBackAndACopyWithoutTheSizeFails) {
    testing::TDeviceSandbox box;
    setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_RAPI_PARTIAL_LIBRARY, 1);
    ASSERT_TRUE(RapiLoad());

    // its files open only inside a session (as the device test shows for the whole library), so
    // a working copy shows that CeRapiInit ran
    WriteBytes(box.At("in.xml"), Pattern(500));
    ASSERT_TRUE(CopyFileToDevice(box.At("in.xml"), "\\Storage Card\\in.xml"));
    EXPECT_EQ(ReadBytes(box.Card("in.xml")), Pattern(500));
    EXPECT_EQ(CeGetFileSize(1, nullptr), 0xFFFFu);

    // without a size nothing says how much to read: the 0xFFFF failure value is no size, so
    // neither a short file nor one longer than 0xFFFF bytes may come back as "copied"
    for (const size_t size : {100u, 70000u}) {
        WriteBytes(box.Card("ExportData.xm_"), Pattern(size));
        WriteBytes(box.At("ExportData.xm_"), Pattern(8, 2));
        EXPECT_FALSE(CopyFileFromDevice(box.At("ExportData.xm_"), "\\Storage Card\\ExportData.xm_"))
            << size;
        EXPECT_EQ(ReadBytes(box.At("ExportData.xm_")), Pattern(8, 2)) << size;
        EXPECT_EQ(Entries(box.Desktop), (std::set<std::string>{"ExportData.xm_", "in.xml"}));
    }
}

} // namespace
} // namespace orvendal
