// QueryToXML on a real SQLite file: the XML table text of a query, of a failing statement and of
// an action statement.
#include "db/SQLADO.h"

#include "common/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace orvendal {
namespace {

namespace fs = std::filesystem;

class DbQueryToXML : public ::testing::Test {
protected:
    void SetUp() override {
        s.SetServerType(Jet);
        s.DataSource = dir.File("import.mdb");
        ASSERT_TRUE(s.CreateDatabase() && s.Connect()) << s.LastError;
        ASSERT_TRUE(s.ExecSQL("CREATE TABLE SysData (Id SMALLINT NOT NULL CONSTRAINT pk_Dev_Id "
                              "PRIMARY KEY,SysValue VARCHAR(255),LastEdit SMALLDATETIME)"));
        ASSERT_TRUE(s.Insert("SysData", "Id,SysValue,LastEdit", "8,'a<&>b','06.12.2026 10:05'"));
        ASSERT_TRUE(s.Insert("SysData", "Id,SysValue", "9,'x;y'"));
    }
    void TearDown() override { s.Disconnect(); }
    testing::TTempFolder dir;
    TSQLADOServer s;
};

const char* const Head = "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<table>\r\n";

TEST_F(DbQueryToXML, Rows) {
    EXPECT_EQ(QueryToXML(s, "SELECT Id,SysValue,LastEdit FROM SysData WHERE 0=0", 0),
              std::string(Head) + "<record><Id>8</Id><SysValue>a&lt;&amp;&gt;b</"
                                  "SysValue><LastEdit>06.12.2026 10:05:00</LastEdit></record>\r\n"
                                  "<record><Id>9</Id><SysValue>x,y</SysValue><LastEdit></"
                                  "LastEdit></record>\r\n</table>\r\n");
    EXPECT_EQ(
        QueryToXML(s, "SELECT Id FROM SysData WHERE 0=0", 1),
        std::string(Head) +
            "<record_1><Id>8</Id></record_1>\r\n<record_2><Id>9</Id></record_2>\r\n</table>\r\n");
    EXPECT_EQ(QueryToXML(s, "SELECT Id FROM SysData WHERE Id>100", 0),
              std::string(Head) + "</table>\r\n");
}

TEST_F(DbQueryToXML, ErrorsAndActions) {
    EXPECT_EQ(QueryToXML(s, "SELECT Id FROM Nowhere WHERE 0=0", 0),
              std::string(Head) + "<record><SQL-Fehlermeldung>no such table: "
                                  "Nowhere</SQL-Fehlermeldung></record>\r\n</table>\r\n");
    EXPECT_EQ(QueryToXML(s, "UPDATE SysData SET SysValue='z'", 0),
              std::string(Head) + "<record><Meldung>Anzahl der betroffenden Datensätze: "
                                  "2</Meldung></record>\r\n</table>\r\n");
}

} // namespace
} // namespace orvendal
