// The table file: parsing, filling from real SQLite queries, and the three output formats.
#include "tables/CSV.h"
#include "db/SQLADO.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace orvendal {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> LineTexts(const TCSVFile& file) {
    std::vector<std::string> texts;
    for (const TCSVLine& line : file.Lines) {
        texts.push_back(line.Text);
    }
    return texts;
}

TCSVFile FileOf(std::initializer_list<const char*> lines, std::vector<std::string> names) {
    TCSVFile file;
    std::string text;
    for (const char* line : lines) {
        text += std::string(line) + "\r\n";
    }
    file.SetText(text);
    file.FieldNames = std::move(names);
    return file;
}

TEST(CSVRecordTest, ParseLineSplitsAtEverySeparatorWithoutQuoting) {
    struct TCase {
        const char* Separator;
        const char* Line;
        std::vector<std::string> Fields;
    } cases[] = {
        {";", "a; b ;", {"a", "b", ""}},
        {";", "  only  ", {"only"}},
        {";", "\"x;y\"", {"\"x", "y\""}},
        {",", "1,,3", {"1", "", "3"}},
        {";;", "a;b;;c", {"a", "b", "", "c"}}, // the first character separates
        {";", "", {""}},
    };
    for (const TCase& c : cases) {
        TCSVRecord record(c.Separator, nullptr);
        record.ParseLine(c.Line);
        EXPECT_EQ(record.Fields, c.Fields) << c.Line;
    }
}

TEST(CSVFileTest, LoadingDropsBlankLinesAndParsesTheRest) {
    const fs::path name = fs::path(::testing::TempDir()) / "orvendal-csv-load.txt";
    std::ofstream(name, std::ios::binary) << "1;Anna\r\n   \r\n\n2;Bert\n\r3;Cora";
    TCSVFile file;
    file.LoadFromFile(name.string());
    fs::remove(name);
    ASSERT_EQ(file.Count(), 3);
    EXPECT_EQ(file.Lines[1].Record->Fields, (std::vector<std::string>{"2", "Bert"}));
    EXPECT_EQ(file.Lines[2].Record->Fields, (std::vector<std::string>{"3", "Cora"}));
    EXPECT_EQ(file.Lines[0].Record->Names, &file.FieldNames);
    EXPECT_THROW(file.LoadFromFile(name.string()), std::runtime_error);
}

TEST(CSVFileTest, XmlOfTheInitialValues) {
    TCSVFile file = FileOf({"1;Anna"}, {"Id", "Name"});
    file.OutputFormat = 2;
    file.FormatTable();
    EXPECT_EQ(file.Text(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<table>\r\n"
                           "<record><Id>1</Id><Name>Anna</Name></record>\r\n</table>\r\n");

    TCSVFile empty;
    empty.OutputFormat = 2;
    empty.FormatTable();
    EXPECT_EQ(LineTexts(empty),
              (std::vector<std::string>{"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
                                        "<table>", "</table>"}));
}

TEST(CSVFileTest, XmlNamesEscapingTypesAndExtraFields) {
    TCSVFile file = FileOf({"1;<&>;x\"y'z", "2;Grüße;a;b"}, {"Id", "Name", "Note"});
    file.OutputFormat = 2;
    file.NumberRecords = true;
    file.AnsiText = false;
    file.TypedTags = true;
    file.TableAttributes = "version=\"2\"";
    file.Lines[0].Record->TypeCodes = {"n3", "c202"};
    file.FormatTable();
    EXPECT_EQ(
        LineTexts(file),
        (std::vector<std::string>{
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "<table version=\"2\">",
            "<record_1><Id_n3>1</Id_n3><Name_c202>&lt;&amp;&gt;</Name_c202>"
            "<Note>x&quot;y'z</Note></record_1>",
            "<record_2><Id>2</Id><Name>Grüße</Name><Note>a</Note>;b</record_2>", "</table>"}));
}

TEST(CSVFileTest, AnsiTextWritesMarkupAsWindows1252) {
    TCSVFile file = FileOf({"Grüße"}, {"Name"});
    file.OutputFormat = 2;
    file.FormatTable();
    EXPECT_EQ(file.Lines[2].Text, "<record><Name>Gr\xFC\xDF"
                                  "e</Name></record>");
}

TEST(CSVFileTest, HtmlWithHeaderLine) {
    TCSVFile file = FileOf({"1;Anna", "2;Bert"}, {" Id ", "Name", "Unused"});
    file.OutputFormat = 1;
    file.HeaderLine = true;
    file.FormatTable();
    EXPECT_EQ(LineTexts(file), (std::vector<std::string>{
                                   "<html>", "<table>", "<tr><th>Id</th><th>Name</th></tr>",
                                   "<tr><td>1</td><td>Anna</td></tr>",
                                   "<tr><td>2</td><td>Bert</td></tr>", "</table>", "</html>"}));
    EXPECT_EQ(file.RecordTag, "tr");
}

TEST(CSVFileTest, SeparatedValuesFlattenLineBreaksAndSeparators) {
    TCSVFile file = FileOf({"x"}, {"A", "B"});
    file.Lines[0].Record->Fields = {"x\r\ny", "p\n\nq\tr\ns", "a;b"};
    file.Lines.push_back({"no record", nullptr});
    file.HeaderLine = true;
    file.FormatTable();
    EXPECT_EQ(LineTexts(file), (std::vector<std::string>{"A;B", "x y;p q r s;a,b"}));

    TCSVFile comma = FileOf({"x"}, {});
    comma.Separator = ",";
    comma.Lines[0].Record->Fields = {"a,b", "c;d"};
    comma.FormatTable();
    EXPECT_EQ(comma.Lines[0].Text, "a;b,c;d");
}

class CSVFromSQLTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ =
            fs::path(::testing::TempDir()) / ("orvendal-csv-" + std::to_string(getpid()) + ".mdb");
        fs::remove(path_);
        db_.SetServerType(Jet);
        db_.DataSource = path_.string();
        ASSERT_TRUE(db_.CreateDatabase() && db_.Connect()) << db_.LastError;
        ASSERT_TRUE(db_.ExecSQL("CREATE TABLE T (Id INTEGER, Name VARCHAR(50))"));
        ASSERT_TRUE(db_.Insert("T", "Id,Name", "1,'a;b'"));
        ASSERT_TRUE(db_.Insert("T", "Id,Name", "2,'c,d'"));
        ASSERT_TRUE(db_.Insert("T", "Id,Name", "3,null"));
    }
    void TearDown() override {
        db_.Disconnect();
        fs::remove(path_);
    }
    fs::path path_;
    TSQLADOServer db_;
};

TEST_F(CSVFromSQLTest, RowsNamesTypesAndSeparatorsInValues) {
    TCSVFile file;
    file.CollectTypes = true;
    ASSERT_TRUE(file.LoadFromSQL(&db_, "SELECT Id,Name FROM T ORDER BY Id", true));
    EXPECT_EQ(file.FieldNames, (std::vector<std::string>{"Id", "Name"}));
    EXPECT_EQ(file.FieldTypes, "nc");
    EXPECT_EQ(LineTexts(file), (std::vector<std::string>{"1;a,b", "2;c,d", "3;"}));
    EXPECT_EQ(file.Lines[2].Record->Fields, (std::vector<std::string>{"3", ""}));
    ASSERT_EQ(file.Lines[0].Record->TypeCodes.size(), 2u);
    EXPECT_EQ(file.Lines[0].Record->TypeCodes[0][0], 'n');
    EXPECT_EQ(file.Lines[0].Record->TypeCodes[1][0], 'c');

    file.Separator = ",";
    ASSERT_TRUE(file.LoadFromSQL(&db_, "SELECT Name FROM T WHERE Id=2", true));
    EXPECT_EQ(LineTexts(file), (std::vector<std::string>{"c;d"}));
    ASSERT_TRUE(file.LoadFromSQL(&db_, "SELECT Name FROM T WHERE Id=1", false));
    EXPECT_EQ(file.Count(), 2); // appended, not cleared
}

TEST_F(CSVFromSQLTest, ErrorsActionsAndMissingServers) {
    TCSVFile file;
    EXPECT_FALSE(file.LoadFromSQL(&db_, "SELECT Id FROM Nowhere", true));
    EXPECT_EQ(file.FieldNames, (std::vector<std::string>{"SQL-Fehlermeldung"}));
    EXPECT_EQ(file.FieldTypes, "c");
    ASSERT_EQ(file.Count(), 1);
    EXPECT_EQ(file.Lines[0].Text, db_.LastError);

    EXPECT_TRUE(file.LoadFromSQL(&db_, "UPDATE T SET Name='z'", true));
    EXPECT_EQ(file.FieldNames, (std::vector<std::string>{"Meldung"}));
    EXPECT_EQ(LineTexts(file), (std::vector<std::string>{"Anzahl der betroffenden Datensätze: 3"}));

    TSQLADOServer closed;
    EXPECT_FALSE(file.LoadFromSQL(&closed, "SELECT 1", true));
    EXPECT_FALSE(file.LoadFromSQL(nullptr, "SELECT 1", true));
    EXPECT_EQ(file.Count(), 1); // untouched
}

} // namespace
} // namespace orvendal
