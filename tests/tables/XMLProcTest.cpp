// The XML table document: loading by encoding, 1-based reads in and out of range, and the
// naming rules of rows and fields made by SetValue.
#include "tables/XMLProc.h"

#include "common/TempFolder.h"

#include <algorithm>
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

TEST(XMLModulTest, DecodesByMarkOrDeclaration) {
    std::string utf16be; // unmarked: known by the shape of "<?"
    for (char16_t c : std::u16string(u"<?xml version=\"1.0\"?><t><r><v>Grüße</v></r></t>"))
        utf16be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    const std::string cases[] = {"\xEF\xBB\xBF<t><r><v>Gr\xC3\xBC\xC3\x9F"
                                 "e</v></r></t>",
                                 utf16be,
                                 "<?xml version='1.0' encoding='cp1252'?><t><r><v>Gr\xFC\xDF"
                                 "e</v></r></t>"};
    for (const std::string& bytes : cases)
        EXPECT_EQ(FromBytes(bytes).GetValue(1, 1), "Grüße");
}

TEST(XMLModulTest, FailuresKeepNothingAndNameTheReason) {
    testing::TTempFolder folder;
    const std::string unknown = folder.File("unknown.xml"), missing = folder.File("missing.xml"),
                      broken = folder.File("broken.xml");
    std::ofstream(folder.File("good.xml")) << "<t><r><v>1</v></r></t>";
    std::ofstream(unknown) << "<?xml version=\"1.0\" encoding=\"x-no\"?><t><r/></t>";
    std::ofstream(broken) << "<t><r></x></t>";
    TXMLModul table;
    for (const auto& [file, error] :
         {std::pair{unknown, "Die Datei " + unknown + " gibt die unbekannte Kodierung x-no an"},
          {broken, "Die Datei " + broken +
                       " ist kein lesbares XML-Dokument: End-Tag passt nicht zum Start-Tag (an "
                       "Zeichen 8)"},
          {missing, "Die Datei " + missing + " kann nicht gelesen werden"}}) {
        EXPECT_TRUE(table.LoadFromFile(folder.File("good.xml")));
        EXPECT_FALSE(table.LoadFromFile(file));
        EXPECT_EQ(table.LastErrorText(), error);
        EXPECT_EQ(table.RowCount(), 0); // nothing half-read
    }
    EXPECT_TRUE(table.LoadFromFile(folder.File("good.xml")));
    EXPECT_NE(table.LastErrorText().find("missing.xml"), std::string::npos); // kept on success
    EXPECT_THROW(FromBytes(""), std::runtime_error);
    EXPECT_THROW(FromBytes("<t><r>"), std::runtime_error);
}

} // namespace
} // namespace orvendal
