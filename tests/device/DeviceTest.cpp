// The copies over the folder-backed handheld library, loaded through RapiLoad: bytes, names in
// any case, refusals on both sides, the entry points' contract and the UTF-16 paths.

#include "device/DeviceSandbox.h"
#include "device/WinCE.h"

#include <gtest/gtest.h>

#include <tuple>

namespace orvendal {
namespace {

using namespace testing; // the sandbox's byte helpers
using TNames = std::set<std::string>;

class DeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("ORVENDAL_RAPI_LIBRARY", ORVENDAL_DEVICE_FOLDER_LIBRARY, 1);
        ASSERT_TRUE(RapiLoad());
    }
    void TearDown() override { unsetenv("ORVENDAL_DEVICE_CHUNK"); }

    testing::TDeviceSandbox box;
};

// Every size, whole or in pieces (ORVENDAL_DEVICE_CHUNK), over older targets on both sides.
TEST_F(DeviceTest, EveryByteArrivesBothWaysAndReplacesTheTargets) {
    const std::tuple<size_t, const char*> cases[] = {
        {0, ""}, {1, ""}, {4103, ""}, {8u << 20, ""}, {8u << 20, "65536"}, {100003, "997"}};
    for (const auto& [size, chunk] : cases) {
        SCOPED_TRACE(std::to_string(size) + " " + chunk);
        setenv("ORVENDAL_DEVICE_CHUNK", chunk, 1);
        const auto bytes = Pattern(size);
        WriteBytes(box.At("out.xml"), bytes);
        WriteBytes(box.Card("Table.xml"), Pattern(5000, 7));
        WriteBytes(box.At("back.xml"), Pattern(5000, 9));
        ASSERT_TRUE(CopyFileToDevice(box.At("out.xml"), "\\Storage Card\\Table.xml"));
        EXPECT_EQ(ReadBytes(box.Card("Table.xml")), bytes);
        ASSERT_TRUE(CopyFileFromDevice(box.At("back.xml"), "\\Storage Card\\Table.xml"));
        EXPECT_EQ(ReadBytes(box.At("back.xml")), bytes);
        EXPECT_EQ(Entries(box.Desktop), (TNames{"back.xml", "out.xml"}));
    }
}

// Any case and slash spelling finds the file (ASCII and Latin-1 letters fold, × does not become
// ÷); a new file keeps its case in the existing folder; an existing one in another case is
// replaced, not doubled; among names that differ only in case the exact spelling wins.
TEST_F(DeviceTest, NamesMatchWhateverTheCase) {
    fs::create_directories(box.Root / "Übergabe");
    WriteBytes(box.Root / "Übergabe" / "Auftrag.xml", Pattern(20, 5));
    WriteBytes(box.Card("ExportData.xm_"), Pattern(300));
    WriteBytes(box.Card("\U0001F4F7.jpg"), Pattern(1));
    WriteBytes(box.Card("ÀZÞ×.xml"), Pattern(7));
    for (const auto& [path, bytes] : {std::pair{"/storage card/EXPORTDATA.XM_", Pattern(300)},
                                      {"\\\\Storage Card\\\\ExportData.xm_", Pattern(300)},
                                      {"\\Storage Card\\\U0001F4F7.jpg", Pattern(1)},
                                      {"Storage Card\\ExportData.xm_", Pattern(300)},
                                      {"\\übergabe\\auftrag.XML", Pattern(20, 5)},
                                      {"\\ÜBERGABE\\Auftrag.xml", Pattern(20, 5)},
                                      {"\\Storage Card\\àzþ×.XML", Pattern(7)},
                                      {"\\Storage Card\\ÀZÞ÷.xml", std::string("refused")}}) {
        WriteBytes(box.At("got"), "refused");
        EXPECT_EQ(CopyFileFromDevice(box.At("got"), path), bytes != "refused") << path;
        EXPECT_EQ(ReadBytes(box.At("got")), bytes) << path;
    }
    WriteBytes(box.At("in.xml"), Pattern(40));
    ASSERT_TRUE(CopyFileToDevice(box.At("in.xml"), "\\storage card\\NeuDatei.XML"));
    ASSERT_TRUE(CopyFileToDevice(box.At("in.xml"), "\\STORAGE CARD\\exportdata.XM_"));
    EXPECT_EQ(Entries(box.Root), (TNames{"Storage Card", "Übergabe"}));
    EXPECT_EQ(Entries(box.Root / "Storage Card"),
              (TNames{"ExportData.xm_", "NeuDatei.XML", "ÀZÞ×.xml", "\U0001F4F7.jpg"}));
    EXPECT_EQ(ReadBytes(box.Card("ExportData.xm_")), Pattern(40));

    WriteBytes(box.Card("exportdata.xm_"), Pattern(9, 4));
    ASSERT_TRUE(CopyFileFromDevice(box.At("a"), "\\Storage Card\\exportdata.xm_"));
    EXPECT_EQ(ReadBytes(box.At("a")), Pattern(9, 4));
    ASSERT_TRUE(CopyFileFromDevice(box.At("b"), "\\Storage Card\\ExportData.xm_"));
    EXPECT_EQ(ReadBytes(box.At("b")), Pattern(40));
}

// Every refused copy fails and leaves both sides as they were: paths that leave the root, name
// a folder, miss a folder or are no UTF-8; missing sources, unmakeable targets, a full device
// (no device at all: the console test's undocked support and manual update).
TEST_F(DeviceTest, RefusedCopiesChangeNothing) {
    WriteBytes(box.Card("Table.xml"), Pattern(100));
    WriteBytes(box.At("x.xm_"), Pattern(64)); // an older desktop copy stays
    for (const char* path :
         {"\\..\\escaped.xml", "\\Storage Card\\..\\..\\x.xml", "\\Storage Card\\.\\x.xml", "\\",
          "", "\\Storage Card", "\\Missing Folder\\x.xml", "\\Storage Card\\Table.xml\\x.xml",
          "\\Storage Card\\\xff.xml", "\\Storage Card\\\xC3", "\\Storage Card\\\xC0\x80",
          "\\\xE0\x80\x80", "\\\xED\xA0\x80", "\\\xF4\x90\x80\x80", "\\a\x80"}) {
        EXPECT_FALSE(CopyFileToDevice(box.At("x.xm_"), path)) << path;
        EXPECT_FALSE(CopyFileFromDevice(box.At("x.xm_"), path)) << path;
    }
    EXPECT_FALSE(CopyFileToDevice(box.At("none.xml"), "\\Storage Card\\none.xml"));
    EXPECT_FALSE(CopyFileFromDevice(box.At("x.xm_"), "\\Storage Card\\x.xm_"));
    EXPECT_FALSE(CopyFileFromDevice(box.At("no-folder/Table.xml"), "\\Storage Card\\Table.xml"));
    fs::create_directory(box.At("folder"));
    EXPECT_FALSE(CopyFileFromDevice(box.At("folder"), "\\Storage Card\\Table.xml"));
    EXPECT_TRUE(fs::is_directory(box.At("folder")));
    fs::create_symlink("/dev/full", box.Card("full.xml")); // a full device
    EXPECT_FALSE(CopyFileToDevice(box.At("x.xm_"), "\\Storage Card\\full.xml"));
    EXPECT_EQ(ReadBytes(box.At("x.xm_")), Pattern(64));
    EXPECT_EQ(Entries(box.Base), (TNames{"desktop", "handheld"}));
    EXPECT_EQ(Entries(box.Root), TNames{"Storage Card"});
    EXPECT_EQ(Entries(box.Desktop), (TNames{"folder", "x.xm_"}));
    EXPECT_EQ(Entries(box.Root / "Storage Card"), (TNames{"Table.xml", "full.xml"}));
}

// The entry points through the wrappers, with the Windows CE meanings the copies rely on.
TEST_F(DeviceTest, EntryPointsKeepTheirContract) {
    const std::u16string path = u"\\Storage Card\\Neu.bin";
    const auto open = [&](DWORD access, DWORD how) {
        return CeCreateFile(path.c_str(), access, 0, nullptr, how, 0, 0);
    };
    EXPECT_EQ(open(GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE) << "no session";
    RAPIINIT init{12, 99, 99};
    ASSERT_EQ(CeRapiInitEx(&init), S_OK);
    EXPECT_EQ(init.hrRapiInit, S_OK);
    const HANDLE file = open(GENERIC_WRITE, CREATE_ALWAYS);
    DWORD done = 0, high = 77;
    ASSERT_TRUE(CeWriteFile(file, "abcdef", 6, &done, nullptr));
    EXPECT_EQ(CeGetFileSize(file, &high), 6u);
    EXPECT_EQ(high, 0u);
    EXPECT_TRUE(CeCloseHandle(file));
    const HANDLE again = open(GENERIC_READ, OPEN_EXISTING);
    char buffer[16] = {};
    ASSERT_TRUE(CeReadFile(again, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "abcdef");
    ASSERT_TRUE(CeReadFile(again, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 0u) << "end of file";
    EXPECT_TRUE(CeCloseHandle(again));
    for (const char16_t* bad : {u"\\\xD800", u"\\\xDC00", u"\\\xD800\x61"}) // no UTF-16
        EXPECT_EQ(CeCreateFile(bad, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0),
                  INVALID_HANDLE_VALUE);
    EXPECT_EQ(CeRapiUninit(), S_OK);
    EXPECT_EQ(Entries(box.Root / "Storage Card"), TNames{"Neu.bin"});
}

} // namespace
} // namespace orvendal
