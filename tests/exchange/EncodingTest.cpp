// Device exports in every encoding a handheld writes, and damaged ones: the text reaches the
// server's copy of export.mdb and MBlob as it was meant, or the run stops before anything is
// sent or fetched and the handheld's file stays as it was.

#include "ExchangeFixture.h"

#include <algorithm>

namespace orvendal::testing {
namespace {

const std::string kMeant = "€ Grüße";
const std::string kAnsi = "\x80 Gr\xFC\xDF\x65"; // Windows-1252

struct TExportCase {
    const char* Name;
    std::string Bytes;      // the packed file on the handheld
    bool Arrives = false;   // the text arrives; otherwise the run stops
    std::string Error = ""; // the message's end after the file name; empty: none names it
};

std::string Document(const std::string& declaration, const std::string& value) {
    return (declaration.empty() ? ""
                                : "<?xml version=\"1.0\" encoding=\"" + declaration + "\"?>\r\n") +
           "<table><record><Id>1</Id><AuftragId>1000</AuftragId><FeldId>55</FeldId><FeldValue>" +
           value + "</FeldValue><Created>05.12.2026 10:15:00</Created><Creator>1</Creator>" +
           "</record></table>";
}

// The document as UTF-16LE with a byte order mark; its markup is ASCII.
std::string Utf16Document() {
    const std::string ascii = Document("UTF-16", "|");
    const std::string head = ascii.substr(0, ascii.find('|')), tail = ascii.substr(head.size() + 1);
    const std::u16string text = std::u16string(head.begin(), head.end()) + u"€ Grüße" +
                                std::u16string(tail.begin(), tail.end());
    std::string out = "\xFF\xFE";
    for (char16_t u : text) {
        out += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    }
    return out;
}

// A document refused for its bytes, named at the first byte that is not ASCII.
TExportCase Refused(const char* name, const std::string& document, const std::string& error) {
    const auto high =
        std::find_if(document.begin(), document.end(), [](char b) { return b & 0x80; });
    return {name, Packed(document), false,
            error + " an Byte-Position " + std::to_string(high - document.begin())};
}

std::string WithoutEnd(std::string packed) {
    packed.resize(packed.size() - 6);
    return packed;
}

void PrintTo(const TExportCase& c, std::ostream* os) {
    *os << c.Name;
}

class ExchangeEncodingTest : public ExchangeFixture,
                             public ::testing::WithParamInterface<TExportCase> {};

TEST_P(ExchangeEncodingTest, TextArrivesAsMeantOrTheRunStops) {
    const TExportCase& c = GetParam();
    WriteText(Handheld("ExportData.xm_"), c.Bytes);
    if (!c.Arrives) {
        WriteText(Server("import.md_"), "the answer");
    }
    Run();
    if (c.Arrives) {
        EXPECT_TRUE(view_.Boxes.empty()) << view_.BoxTexts();
        EXPECT_EQ(Count(SentExport(), "ExportData", "Id=1 and FeldValue='" + kMeant + "'"), 1);
        EXPECT_EQ(Count(Work("mobil.mdb"), "MBlob", "Id=1 and FeldValue='" + kMeant + "'"), 1);
        return;
    }
    const std::string expected =
        "Der Geräte-Export kann nicht gelesen werden: " +
        (c.Error.empty() ? "" : "Die Datei " + Work("ExportData.xml") + " " + c.Error);
    ASSERT_EQ(view_.Boxes.size(), 1u) << view_.BoxTexts();
    EXPECT_EQ(view_.Boxes[0].Kind, TMsgKind::Error);
    EXPECT_EQ(view_.Boxes[0].Text.substr(0, expected.size()), expected);
    EXPECT_FALSE(fs::exists(Server("export.md_")));
    EXPECT_FALSE(fs::exists(Work("export.mdb")));
    EXPECT_TRUE(fs::exists(Server("import.md_"))); // not fetched
    EXPECT_EQ(Count(Work("mobil.mdb"), "MBlob"), 0);
    EXPECT_EQ(ReadText(Handheld("ExportData.xm_")), c.Bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, ExchangeEncodingTest,
    ::testing::Values(
        TExportCase{"Utf8", Packed(Document("UTF-8", kMeant)), true},
        TExportCase{"Utf16", Packed(Utf16Document()), true},
        TExportCase{"Iso88591ReadAsWindows1252", Packed(Document("ISO-8859-1", kAnsi)), true},
        TExportCase{"Windows1252", Packed(Document("windows-1252", kAnsi)), true},
        TExportCase{"Iso885915", Packed(Document("ISO-8859-15", "\xA4 Gr\xFC\xDF\x65")), true},
        TExportCase{"UndeclaredUtf8", Packed(Document("", kMeant)), true},
        Refused("UndeclaredLatin1", Document("", kAnsi), "gibt keine Kodierung an und ist"),
        Refused("BrokenUtf8", Document("UTF-8", "Gr\xFC\xDF\x65"), "enthält"),
        TExportCase{"NotZlib", "this is no zlib stream"},
        TExportCase{"Truncated", WithoutEnd(Packed(Document("UTF-8", kMeant)))},
        TExportCase{"NoXml", Packed("Id;AuftragId\n1;2\n")}),
    [](const auto& info) { return info.param.Name; });

} // namespace
} // namespace orvendal::testing
