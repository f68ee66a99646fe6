// Device exports in every encoding a handheld writes: the text reaches the server's copy of
// export.mdb and MBlob as it was meant, or the run stops before anything is sent.

#include "ExchangeFixture.h"

#include <algorithm>
#include <fstream>

namespace orvendal::testing {
namespace {

const std::string kMeant = "€ Grüße";

struct TEncodingCase {
    const char* Name;
    std::string Declaration; // empty: no XML declaration
    std::string Value;       // the bytes of kMeant (or broken ones) in the document
    bool Utf16 = false;      // the whole document as UTF-16LE with a byte order mark
    const char* Error = "";  // expected message part; empty: the text arrives
};

void PrintTo(const TEncodingCase& c, std::ostream* os) {
    *os << c.Name;
}

std::string Document(const TEncodingCase& c) {
    std::string head = c.Declaration.empty()
                           ? ""
                           : "<?xml version=\"1.0\" encoding=\"" + c.Declaration + "\"?>\r\n";
    return head +
           "<table><record><Id>1</Id><AuftragId>1000</AuftragId><FeldId>55</FeldId>"
           "<FeldValue>" +
           c.Value +
           "</FeldValue><Created>05.12.2026 10:15:00</Created><Creator>1</Creator>"
           "</record></table>";
}

// The document as UTF-16LE with a byte order mark; its markup is ASCII.
std::string Utf16Document(const TEncodingCase& c) {
    const std::string ascii = Document(c);
    const auto at = ascii.begin() + static_cast<long>(ascii.find(c.Value));
    const std::u16string text = std::u16string(ascii.begin(), at) + u"€ Grüße" +
                                std::u16string(at + static_cast<long>(c.Value.size()), ascii.end());
    std::string out = "\xFF\xFE";
    for (char16_t u : text) {
        out += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    }
    return out;
}

class ExchangeEncodingTest : public ExchangeFixture,
                             public ::testing::WithParamInterface<TEncodingCase> {};

TEST_P(ExchangeEncodingTest, TextArrivesAsMeantOrTheRunStops) {
    const TEncodingCase& c = GetParam();
    const std::string bytes = c.Utf16 ? Utf16Document(c) : Document(c);
    const std::string packed = Packed(bytes);
    std::ofstream(Handheld("ExportData.xm_"), std::ios::binary) << packed;
    Run();
    if (*c.Error == '\0') {
        EXPECT_TRUE(view_.Boxes.empty()) << view_.BoxTexts();
        EXPECT_EQ(Count(SentExport(), "ExportData", "Id=1 and FeldValue='" + kMeant + "'"), 1);
        EXPECT_EQ(Count(Work("mobil.mdb"), "MBlob", "Id=1 and FeldValue='" + kMeant + "'"), 1);
        return;
    }
    const std::string expected =
        "Der Geräte-Export kann nicht gelesen werden: Die Datei " + Work("ExportData.xml") + " " +
        c.Error + " an Byte-Position " +
        std::to_string(std::find_if(bytes.begin(), bytes.end(), [](char b) { return b & 0x80; }) -
                       bytes.begin());
    ASSERT_EQ(view_.Boxes.size(), 1u) << view_.BoxTexts();
    EXPECT_EQ(view_.Boxes[0].Kind, TMsgKind::Error);
    EXPECT_EQ(view_.Boxes[0].Text.substr(0, expected.size()), expected);
    EXPECT_FALSE(fs::exists(Server("export.md_")));
    EXPECT_EQ(Count(Work("mobil.mdb"), "MBlob"), 0);
    std::ifstream in(Handheld("ExportData.xm_"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), packed);
}

const std::string kAnsi = "\x80 Gr\xFC\xDF"
                          "e"; // Windows-1252

INSTANTIATE_TEST_SUITE_P(Encodings, ExchangeEncodingTest,
                         ::testing::Values(TEncodingCase{"Utf8", "UTF-8", kMeant},
                                           TEncodingCase{"Utf16", "UTF-16", kMeant, true},
                                           TEncodingCase{"Iso88591ReadAsWindows1252", "ISO-8859-1",
                                                         kAnsi},
                                           TEncodingCase{"Windows1252", "windows-1252", kAnsi},
                                           TEncodingCase{"Iso885915", "ISO-8859-15",
                                                         "\xA4 Gr\xFC\xDF"
                                                         "e"},
                                           TEncodingCase{"UndeclaredUtf8", "", kMeant},
                                           TEncodingCase{"UndeclaredLatin1", "", kAnsi, false,
                                                         "gibt keine Kodierung an und ist"},
                                           TEncodingCase{"BrokenUtf8", "UTF-8",
                                                         "Gr\xFC\xDF"
                                                         "e",
                                                         false, "enthält"}),
                         [](const auto& info) { return info.param.Name; });

} // namespace
} // namespace orvendal::testing
