// The XML table document: loading by encoding, 1-based reads in and out of range, and the
// naming rules of rows and fields made by SetValue.
#include "tables/XMLProc.h"

#include "common/TempFolder.h"

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

TEST(XMLModulTest, ReadsFromOneAndNamesWhatSetValueAdds) {
    TXMLModul table = FromBytes("<list><!-- devices -->\n<dev><id>A</id><name>Nord</name></dev>\n"
                                "<dev><id>B</id><name>S&#252;d</name><t>a&#13;&#10;b</t>"
                                "<v>c\r\nd &amp; &lt;e&gt;</v></dev></list>");
    ASSERT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.FieldCount(0) + table.FieldCount(1) + table.FieldCount(3), 0);
    const struct {
        int Row, Field;
        const char *Value, *Name;
    } cases[] = {{1, 1, "A", "id"},     {2, 2, "Süd", "name"},
                 {2, 3, "a\r\nb", "t"}, {2, 4, "c\r\nd & <e>", "v"},
                 {1, 3, "", ""},        {3, 1, "", ""},
                 {0, 1, "", ""},        {1, 0, "", "dev"},
                 {3, 0, "", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(table.GetValue(c.Row, c.Field), c.Value) << c.Row << "," << c.Field;
        EXPECT_EQ(table.GetName(c.Row, c.Field), c.Name) << c.Row << "," << c.Field;
    }
    table.SetValue(3, 2, "x");
    table.SetValue(3, 4, "w"); // beyond row 1's fields: named by place, the name reused
    table.SetValue(1, 1, "changed");
    EXPECT_EQ(table.GetName(3, 0) + table.GetName(3, 1) + table.GetName(3, 2) +
                  table.GetName(3, 3) + table.GetName(3, 4),
              "devidnameC2C2");
    EXPECT_EQ(table.GetValue(3, 2) + table.GetValue(3, 4) + table.GetValue(1, 1), "xwchanged");

    TXMLModul empty;
    empty.SetValue(1, 1, "ignored"); // not active yet
    EXPECT_EQ(empty.RowCount(), 0);
    ASSERT_TRUE(empty.Open() && empty.Open());
    empty.SetValue(2, 2, "x"); // row 1 has no fields to lend a name: position 0 names both
    EXPECT_EQ(empty.GetName(1, 0) + empty.GetName(2, 1) + empty.GetName(2, 2), "RC0C0");
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
