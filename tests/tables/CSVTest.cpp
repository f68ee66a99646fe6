// The table file: parsing, filling from real SQLite queries, the three output formats, and its
// XML and HTML read back by the XML table document.
#include "tables/CSV.h"

#include "common/TempFolder.h"
#include "db/SQLADO.h"
#include "protect/Ansi.h"
#include "tables/XMLProc.h"

#include <fstream>
#include <gtest/gtest.h>

namespace orvendal {
namespace {

using TLines = std::vector<std::string>;

TEST(CSVFileTest, LoadingBreaksAtEveryLineEndDropsBlankLinesAndSplitsWithoutQuoting) {
    testing::TTempFolder folder;
    std::ofstream(folder.File("t"), std::ios::binary)
        << " \na; b ;\r\n   \r\n\n  only  \r\"x;y\"\n1,,3";
    TCSVFile file;
    file.Separator = ";|"; // its first character separates
    file.LoadFromFile(folder.File("t"));
    EXPECT_EQ(file.Lines[0].Record->Names, &file.FieldNames);
    file.Separator = "|"; // the fields shown joined by it
    file.FormatTable();
    EXPECT_EQ(file.Text(), "a|b|\r\nonly\r\n\"x|y\"\r\n1,,3\r\n");
    EXPECT_THROW(file.LoadFromFile(folder.File("missing")), std::runtime_error);
}

std::string Formatted(const std::string& text, TLines names, void (*setup)(TCSVFile&)) {
    TCSVFile file;
    file.SetText(text);
    file.FieldNames = std::move(names);
    setup(file);
    file.FormatTable();
    return file.Text();
}

TEST(CSVFileTest, FormatsAndTheirOptions) {
    EXPECT_EQ(Formatted("1;Anna", {"Id", "Name"}, [](TCSVFile& f) { f.OutputFormat = 2; }),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<table>\r\n"
              "<record><Id>1</Id><Name>Anna</Name></record>\r\n</table>\r\n");
    EXPECT_EQ(Formatted("1;<&>;x\"y'z\n2;b;c;d", {"Id", "Name", "Note"},
                        [](TCSVFile& f) {
                            f.OutputFormat = 2, f.NumberRecords = f.TypedTags = true;
                            f.AnsiText = false, f.TableAttributes = "v=\"2\"";
                            f.Declaration = "encoding=\"windows-1252\" standalone=\"yes\"";
                            f.Lines[0].Record->TypeCodes = {"n3", "c202"};
                        }),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<table v=\"2\">\r\n"
              "<record_1><Id_n3>1</Id_n3><Name_c202>&lt;&amp;&gt;</Name_c202><Note>x&quot;y'z"
              "</Note></record_1>\r\n<record_2><Id>2</Id><Name>b</Name><Note>c</Note>;d"
              "</record_2>\r\n</table>\r\n");
    EXPECT_EQ(Formatted("1;Anna\n2;Bert", {" Id ", "Name", "Unused"},
                        [](TCSVFile& f) {
                            f.OutputFormat = 1, f.HeaderLine = true;
                            f.Lines.insert(f.Lines.begin(), {"no record", nullptr}); // dropped
                        }),
              "<html>\r\n<table>\r\n<tr><th>Id</th><th>Name</th></tr>\r\n<tr><td>1</td><td>"
              "Anna</td></tr>\r\n<tr><td>2</td><td>Bert</td></tr>\r\n</table>\r\n</html>\r\n");
    EXPECT_EQ(Formatted("x", {"A", "B"},
                        [](TCSVFile& f) {
                            f.Lines[0].Record->Fields = {"x\r\ny", "p\n\nq\tr\ns", "a;b"};
                            f.HeaderLine = true;
                        }),
              "A;B\r\nx y;p q r s;a,b\r\n");
}

// HTML and XML with AnsiText on and off: names and values with characters inside and outside
// Windows-1252 come back as written; AnsiText converts whole lines, extra fields included.
TEST(CSVFileTest, OwnFilesReadBackAsWritten) {
    const TLines names = {"Straße–Nr", "„Größe“", "Preis€"};
    std::string checks; // more character references than the first buffer of a line holds
    for (int i = 0; i < 80; ++i)
        checks += "✓";
    const TLines values = {"5 € „ok“", "Grüße – Köln", checks + " mehr", "Über"};
    for (const uint8_t format : {1, 2}) {
        std::string utf8; // the lines after the declaration, written with AnsiText off
        for (const bool ansi : {false, true}) {
            SCOPED_TRACE(format * 2 + ansi);
            TCSVFile file;
            file.SetText(values[0] + ";" + values[1] + ";" + values[2] + ";" + values[3]);
            file.FieldNames = names;
            file.OutputFormat = format, file.AnsiText = ansi, file.HeaderLine = true;
            file.TableTag = format == 1 ? "" : "table"; // HTML rows right under the root
            file.FormatTable();
            const std::string text = file.Text(), body = text.substr(text.find("\r\n"));
            if (format == 2 && ansi) {
                for (size_t at; (at = utf8.find("✓")) != std::string::npos;)
                    utf8.replace(at, 3, "&#x2713;");
                EXPECT_EQ(AnsiToUtf8(body), utf8);
            }
            utf8 = body;
            TMemoryStream stream(std::vector<uint8_t>(text.begin(), text.end()));
            TXMLModul back;
            ASSERT_TRUE(back.LoadFromStream(stream));
            for (int j = 1; j <= 3; ++j) { // HTML: the header row first
                EXPECT_EQ(back.GetValue(format == 1 ? 2 : 1, j), values[j - 1]);
                EXPECT_EQ(format == 1 ? back.GetValue(1, j) : back.GetName(1, j), names[j - 1]);
            }
        }
    }
}

// Rows, errors and actions reach the XML through QueryToXML (tests/db); here what only the
// table file shows: separators inside values, type codes, appending, a missing server.
TEST(CSVFromSQLTest, SeparatorsTypesAppendingAndMissingServers) {
    testing::TTempFolder folder;
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = folder.File("t.mdb");
    ASSERT_TRUE(db.CreateDatabase() && db.Connect() &&
                db.ExecSQL("CREATE TABLE T (Id INTEGER, Name VARCHAR(50))") &&
                db.ExecSQL("INSERT INTO T VALUES (1,'a;b'),(3,null),(2,'c,d')"))
        << db.LastError;
    TCSVFile file;
    file.CollectTypes = true;
    ASSERT_TRUE(file.LoadFromSQL(&db, "SELECT Id,Name FROM T ORDER BY Id", true));
    EXPECT_EQ(file.FieldTypes + file.Lines[0].Record->TypeCodes[1], "ncc202");
    file.Separator = ",";
    ASSERT_TRUE(file.LoadFromSQL(&db, "SELECT Name FROM T WHERE Id=2", false));
    EXPECT_EQ(file.Text(), "1;a,b\r\n2;c,d\r\n3;\r\nc;d\r\n");
    EXPECT_FALSE(file.LoadFromSQL(&db, "SELECT Id FROM Nowhere", false));
    EXPECT_FALSE(file.LoadFromSQL(std::make_unique<TSQLADOServer>().get(), "SELECT 1", true) ||
                 file.LoadFromSQL(nullptr, "SELECT 1", true));
    EXPECT_EQ(file.Count(), 5); // untouched
}

} // namespace
} // namespace orvendal
