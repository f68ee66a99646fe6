// The folder-backed handheld library: how device paths map onto the folder, and its entry
// points as the loader's wrappers call them.

#include "device/DeviceSandbox.h"
#include "device/WinCE.h"

#include <gtest/gtest.h>

namespace orvendal {
namespace {

namespace fs = std::filesystem;
using testing::Entries;
using testing::Pattern;
using testing::ReadBytes;
using testing::WriteBytes;

class DeviceFolderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_FOLDER_LIBRARY, 1);
        ASSERT_TRUE(RapiLoad());
    }
    void SetUp() override {
        WriteBytes(box.Card("ExportData.xm_"), Pattern(300));
        fs::create_directories(box.Root / "Übergabe");
        WriteBytes(box.Root / "Übergabe" / "Auftrag.xml", Pattern(20, 5));
    }

    testing::TDeviceSandbox box;
};

struct TSpelling {
    const char* DevicePath;
    const char* LocalPath; // below the root
};

class SpellingTest : public DeviceFolderTest, public ::testing::WithParamInterface<TSpelling> {};

TEST_P(SpellingTest, ReadsTheFileWhateverTheCase) {
    ASSERT_TRUE(CopyFileFromDevice(box.At("got"), GetParam().DevicePath));
    EXPECT_EQ(ReadBytes(box.At("got")), ReadBytes(box.Root / GetParam().LocalPath));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SpellingTest,
    ::testing::Values(TSpelling{"\\Storage Card\\ExportData.xm_", "Storage Card/ExportData.xm_"},
                      TSpelling{"\\storage card\\EXPORTDATA.XM_", "Storage Card/ExportData.xm_"},
                      TSpelling{"\\STORAGE CARD\\exportdata.xm_", "Storage Card/ExportData.xm_"},
                      TSpelling{"/Storage Card/ExportData.xm_", "Storage Card/ExportData.xm_"},
                      TSpelling{"\\\\Storage Card\\\\ExportData.xm_",
                                "Storage Card/ExportData.xm_"},
                      TSpelling{"Storage Card\\ExportData.xm_", "Storage Card/ExportData.xm_"},
                      TSpelling{"\\übergabe\\auftrag.XML", "Übergabe/Auftrag.xml"},
                      TSpelling{"\\ÜBERGABE\\Auftrag.xml", "Übergabe/Auftrag.xml"}));

// A new file keeps its case in the existing folder; an existing one in another case is replaced,
// not doubled; among names that differ only in case the exact spelling wins.
TEST_F(DeviceFolderTest, NamesMatchWhateverTheCase) {
    WriteBytes(box.At("in.xml"), Pattern(40));
    ASSERT_TRUE(CopyFileToDevice(box.At("in.xml"), "\\storage card\\NeuDatei.XML"));
    EXPECT_EQ(Entries(box.Root), (std::set<std::string>{"Storage Card", "Übergabe"}));
    EXPECT_EQ(ReadBytes(box.Card("NeuDatei.XML")), Pattern(40));
    ASSERT_TRUE(CopyFileToDevice(box.At("in.xml"), "\\STORAGE CARD\\exportdata.XM_"));
    EXPECT_EQ(Entries(box.Root / "Storage Card"),
              (std::set<std::string>{"ExportData.xm_", "NeuDatei.XML"}));
    EXPECT_EQ(ReadBytes(box.Card("ExportData.xm_")), Pattern(40));

    WriteBytes(box.Card("exportdata.xm_"), Pattern(9, 4));
    ASSERT_TRUE(CopyFileFromDevice(box.At("a"), "\\Storage Card\\exportdata.xm_"));
    EXPECT_EQ(ReadBytes(box.At("a")), Pattern(9, 4));
    ASSERT_TRUE(CopyFileFromDevice(box.At("b"), "\\Storage Card\\ExportData.xm_"));
    EXPECT_EQ(ReadBytes(box.At("b")), Pattern(40));
}

class RefusedPathTest : public DeviceFolderTest,
                        public ::testing::WithParamInterface<const char*> {};

// Paths that leave the root, name a folder, miss a folder on the way or are not UTF-8: neither
// copy works and nothing appears anywhere.
TEST_P(RefusedPathTest, NeitherCopyWorks) {
    WriteBytes(box.At("in.xml"), Pattern(10));
    const auto before = Entries(box.Base);
    EXPECT_FALSE(CopyFileToDevice(box.At("in.xml"), GetParam()));
    EXPECT_FALSE(CopyFileFromDevice(box.At("out.xml"), GetParam()));
    EXPECT_EQ(Entries(box.Base), before);
    EXPECT_EQ(Entries(box.Root), (std::set<std::string>{"Storage Card", "Übergabe"}));
    EXPECT_EQ(Entries(box.Root / "Storage Card"), std::set<std::string>{"ExportData.xm_"});
    EXPECT_EQ(Entries(box.Desktop), std::set<std::string>{"in.xml"});
}

INSTANTIATE_TEST_SUITE_P(Paths, RefusedPathTest,
                         ::testing::Values("\\..\\escaped.xml", "\\Storage Card\\..\\..\\x.xml",
                                           "\\Storage Card\\.\\x.xml", "\\", "", "\\Storage Card",
                                           "\\Missing Folder\\x.xml",
                                           "\\Storage Card\\ExportData.xm_\\x.xml",
                                           "\\Storage Card\\\xff.xml"));

// The entry points through the wrappers, with their Windows CE meanings.
TEST_F(DeviceFolderTest, EntryPointsKeepTheirContract) {
    const std::u16string path = u"\\Storage Card\\Neu.bin";
    EXPECT_EQ(CeCreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0),
              INVALID_HANDLE_VALUE)
        << "no session, no device";

    RAPIINIT init{12, 99, 99};
    ASSERT_EQ(CeRapiInitEx(&init), S_OK);
    EXPECT_EQ(init.hrRapiInit, S_OK);
    RAPIINIT wrongSize{8, 0, 0};
    EXPECT_EQ(CeRapiInitEx(&wrongSize), E_INVALIDARG);

    const HANDLE file =
        CeCreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CeCreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0),
              INVALID_HANDLE_VALUE)
        << "CREATE_NEW on an existing file";
    DWORD done = 0;
    ASSERT_TRUE(CeWriteFile(file, "abcdef", 6, &done, nullptr));
    EXPECT_EQ(done, 6u);
    DWORD high = 77;
    EXPECT_EQ(CeGetFileSize(file, &high), 6u);
    EXPECT_EQ(high, 0u);
    EXPECT_TRUE(CeCloseHandle(file));
    EXPECT_FALSE(CeCloseHandle(file)) << "closed twice";
    EXPECT_EQ(CeGetFileSize(file, nullptr), INVALID_FILE_SIZE);

    const HANDLE again = CeCreateFile(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    char buffer[16] = {};
    ASSERT_TRUE(CeReadFile(again, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "abcdef");
    ASSERT_TRUE(CeReadFile(again, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 0u) << "end of file";
    EXPECT_FALSE(CeWriteFile(again, "x", 1, &done, nullptr)) << "opened for reading";
    EXPECT_TRUE(CeCloseHandle(again));
    EXPECT_EQ(CeCreateFile(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE)
        << "neither read nor write access";

    EXPECT_EQ(CeRapiUninit(), S_OK);
    EXPECT_EQ(CeRapiUninit(), E_FAIL) << "no session left";
}

} // namespace
} // namespace orvendal
