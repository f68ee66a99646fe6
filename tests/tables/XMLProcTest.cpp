// The XML table document: loading by encoding, 1-based reads in and out of range, and the
// naming rules of rows and fields made by SetValue.
#include "tables/XMLProc.h"

#include "common/TempFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace orvendal {
namespace {

TXMLModul FromBytes(const std::string& bytes) {
    TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    TXMLModul table;
    table.LoadFromStream(stream);
    return table;
}

// Rows 0 to one past the last, each as "name=value(fields)" of the row element and then
// " name=value" for fields 1 to one past its last, so that reads out of range show too.
std::string Dump(const TXMLModul& t) {
    std::string out;
    for (int r = 0; r <= t.RowCount() + 1; ++r) {
        out +=
            t.GetName(r, 0) + "=" + t.GetValue(r, 0) + "(" + std::to_string(t.FieldCount(r)) + ")";
        for (int f = 1; f <= std::max(t.FieldCount(r), 0) + 1; ++f)
            out += " " + t.GetName(r, f) + "=" + t.GetValue(r, f);
        out += "\n";
    }
    return out;
}

TEST(XMLModulTest, ReadsFromOneAndNamesWhatSetValueAdds) {
    TXMLModul table = FromBytes("<list><!-- devices -->\n<dev><id>A</id><name>Nord</name></dev>\n"
                                "<dev><id>B</id><name>S&#252;d</name><t>a&#13;&#10;b</t>"
                                "<v>c\r\nd &amp; &lt;e&gt;</v></dev></list>");
    EXPECT_EQ(Dump(table), "=(-1) =\ndev=(2) id=A name=Nord =\ndev=(4) id=B name=Süd t=a\r\nb "
                           "v=c\r\nd & <e> =\n=(-1) =\n");
    table.SetValue(3, 2, "x");
    table.SetValue(3, 4, "w"); // beyond row 1's fields: named by place, the name reused
    table.SetValue(1, 1, "changed");
    EXPECT_EQ(Dump(table), "=(-1) =\ndev=(2) id=changed name=Nord =\ndev=(4) id=B name=Süd "
                           "t=a\r\nb v=c\r\nd & <e> =\ndev=(4) id= name=x C2= C2=w =\n=(-1) =\n");
    TXMLModul empty;
    empty.SetValue(1, 1, "ignored"); // not active yet
    EXPECT_EQ(empty.RowCount(), 0);
    ASSERT_TRUE(empty.Open() && empty.Open());
    empty.SetValue(2, 2, "x"); // row 1 has no fields to lend a name: position 0 names both
    EXPECT_EQ(Dump(empty), "=(-1) =\nR=(0) =\nR=(2) C0= C0=x =\n=(-1) =\n");
}

// Decoded by byte order mark, UTF-16 shape of "<?" or declaration; a load that fails keeps
// nothing of the document before and names the file and the reason.
TEST(XMLModulTest, DecodesByMarkOrDeclarationAndFailuresKeepNothing) {
    std::string utf16be; // unmarked
    for (char16_t c : std::u16string(u"<?xml version=\"1.0\"?><t><r><v>Grüße</v></r></t>"))
        utf16be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    testing::TTempFolder folder;
    const std::string good = folder.File("good.xml"), file = folder.File("t.xml");
    std::ofstream(good) << "<t><r><v>1</v></r></t>";
    TXMLModul table;
    // clang-format off
    for (const auto& [bytes, reason] : {
             std::pair<std::string, std::string>{"\xEF\xBB\xBF<t><r><v>Grüße</v></r></t>", ""},
             {utf16be, ""},
             {"<?xml version='1.0' encoding='cp1252'?><t><r><v>Gr\xFC\xDF\x65</v></r></t>", ""},
             {"<?xml version=\"1.0\" encoding=\"x-no\"?><t><r/></t>",
              " gibt die unbekannte Kodierung x-no an"},
             {"<t><r></x></t>",
              " ist kein lesbares XML-Dokument: End-Tag passt nicht zum Start-Tag (an Zeichen 8)"},
             {"", " kann nicht gelesen werden"}}) { // no file
        // clang-format on
        std::filesystem::remove(file);
        if (!bytes.empty())
            std::ofstream(file, std::ios::binary) << bytes;
        ASSERT_TRUE(table.LoadFromFile(good));
        EXPECT_EQ(table.LoadFromFile(file), reason.empty());
        EXPECT_EQ(reason.empty() ? table.GetValue(1, 1) : table.LastErrorText(),
                  reason.empty() ? "Grüße" : "Die Datei " + file + reason);
        EXPECT_EQ(table.RowCount(), reason.empty()); // nothing half-read
    }
    EXPECT_TRUE(table.LoadFromFile(good));
    EXPECT_NE(table.LastErrorText().find("t.xml"), std::string::npos); // kept on success
    EXPECT_THROW(FromBytes(""), std::runtime_error);
    EXPECT_THROW(FromBytes("<t><r>"), std::runtime_error);
}

} // namespace
} // namespace orvendal
