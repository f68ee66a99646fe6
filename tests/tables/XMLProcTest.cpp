// The XML table document: loading, 1-based reads in and out of range, and the naming rules of
// rows and fields made by SetValue.
#include "tables/XMLProc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace orvendal {
namespace {

namespace fs = std::filesystem;

TXMLModul FromText(const std::string& text) {
    TMemoryStream stream;
    stream.WriteString(text);
    stream.Rewind();
    TXMLModul table;
    table.LoadFromStream(stream);
    return table;
}

TEST(XMLModulTest, EmptyTableReadsAsNothing) {
    TXMLModul table;
    EXPECT_EQ(table.RowCount(), 0);
    table.SetValue(1, 1, "ignored"); // not active yet
    EXPECT_EQ(table.RowCount(), 0);
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Open());
    EXPECT_EQ(table.RowCount(), 0);
    EXPECT_EQ(table.FieldCount(1), -1);
    EXPECT_EQ(table.GetValue(1, 1), "");
    EXPECT_EQ(table.GetName(1, 0), ""); // beyond the last row: empty, no crash
}

TEST(XMLModulTest, ReadsRowsAndFieldsFromOne) {
    TXMLModul table = FromText("<?xml version=\"1.0\"?>\n<list><!-- devices -->\n"
                               "<dev><id>A</id><name>Nord</name></dev>\n"
                               "<dev><id>B</id><name>S&#252;d</name><type>3</type></dev></list>");
    ASSERT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.FieldCount(1), 2);
    EXPECT_EQ(table.FieldCount(2), 3);
    EXPECT_EQ(table.FieldCount(0), -1);
    EXPECT_EQ(table.FieldCount(3), -1);
    struct TCase {
        int Row, Field;
        const char* Value;
        const char* Name;
    } cases[] = {{1, 1, "A", "id"}, {2, 2, "Süd", "name"}, {2, 3, "3", "type"}, {1, 3, "", ""},
                 {3, 1, "", ""},    {0, 1, "", ""},        {1, 0, "", "dev"},   {2, -1, "", "dev"}};
    for (const TCase& c : cases) {
        EXPECT_EQ(table.GetValue(c.Row, c.Field), c.Value) << c.Row << "," << c.Field;
        EXPECT_EQ(table.GetName(c.Row, c.Field), c.Name) << c.Row << "," << c.Field;
    }
}

TEST(XMLModulTest, SetValueNamesNewRowsAndFields) {
    TXMLModul table;
    ASSERT_TRUE(table.Open());
    table.SetValue(3, 2, "x");
    ASSERT_EQ(table.RowCount(), 3);
    EXPECT_EQ(table.GetName(1, 0), "R");
    EXPECT_EQ(table.GetName(3, 0), "R");
    EXPECT_EQ(table.FieldCount(3), 2);
    EXPECT_EQ(table.GetName(3, 1), "C0");
    EXPECT_EQ(table.GetName(3, 2), "C0"); // row 1 has no fields to lend a name
    EXPECT_EQ(table.GetValue(3, 2), "x");

    TXMLModul named = FromText("<t><row><a>1</a><b>2</b><c>3</c></row></t>");
    named.SetValue(2, 3, "v");
    EXPECT_EQ(named.GetName(2, 0), "row");
    EXPECT_EQ(named.GetName(2, 1), "a");
    EXPECT_EQ(named.GetName(2, 2), "b");
    EXPECT_EQ(named.GetName(2, 3), "c");
    // Beyond row 1's fields a call names the first new field by its place and reuses that name.
    named.SetValue(2, 5, "w");
    EXPECT_EQ(named.GetName(2, 4), "C3");
    EXPECT_EQ(named.GetName(2, 5), "C3");
    named.SetValue(1, 2, "changed");
    EXPECT_EQ(named.GetValue(1, 2), "changed");
    EXPECT_EQ(named.FieldCount(1), 3);

    TXMLModul first;
    ASSERT_TRUE(first.Open());
    for (int field = 1; field <= 3; ++field) {
        first.SetValue(1, field, std::to_string(field));
        first.SetValue(2, field, std::to_string(field));
    }
    EXPECT_EQ(first.GetName(1, 3), "C2");
    EXPECT_EQ(first.GetName(2, 3), "C2");
}

TEST(XMLModulTest, ValuesKeepLineBreaksAndMarkupCharacters) {
    TXMLModul table = FromText("<t><r><v>a&#13;&#10;b</v><w>c\r\nd &amp; &lt;e&gt;</w></r></t>");
    EXPECT_EQ(table.GetValue(1, 1), "a\r\nb");
    EXPECT_EQ(table.GetValue(1, 2), "c\r\nd & <e>");
}

TEST(XMLModulTest, FailuresFromFilesAndStreams) {
    const fs::path dir = fs::path(::testing::TempDir()) / "orvendal-xmlproc";
    fs::create_directories(dir);
    std::ofstream(dir / "good.xml") << "<t><r><v>1</v></r></t>";
    std::ofstream(dir / "broken.xml") << "<t><r><v>1</v></r>";
    std::ofstream(dir / "latin1.xml", std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t><r><v>Gr\xFC\xDF"
           "e</v></r></t>";

    TXMLModul table;
    EXPECT_TRUE(table.LoadFromFile((dir / "good.xml").string()));
    EXPECT_FALSE(table.LoadFromFile((dir / "broken.xml").string()));
    EXPECT_FALSE(table.LastErrorText().empty());
    EXPECT_EQ(table.RowCount(), 0); // not half-read
    EXPECT_FALSE(table.LoadFromFile((dir / "missing.xml").string()));
    EXPECT_NE(table.LastErrorText().find("missing.xml"), std::string::npos);
    const std::string before = table.LastErrorText();
    EXPECT_TRUE(table.LoadFromFile((dir / "latin1.xml").string()));
    EXPECT_EQ(table.GetValue(1, 1), "Grüße");
    EXPECT_EQ(table.LastErrorText(), before); // success leaves the last error

    EXPECT_THROW(FromText("<t><r>"), std::runtime_error);
    EXPECT_THROW(FromText(""), std::runtime_error);
    fs::remove_all(dir);
}

} // namespace
} // namespace orvendal
