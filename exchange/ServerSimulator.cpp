#include "exchange/ServerSimulator.h"

#include "db/SQLADO.h"
#include "protect/Streams.h"
#include "protect/ZLibStream.h"
#include "tables/UserFkt.h"

#include <filesystem>
#include <pugixml.hpp>
#include <sstream>
#include <vector>

namespace orvendal::simulator {
namespace {

struct TTable {
    const char* Name;
    const char* Create;
};

// Column types of the tables only the server makes; the device reads their table files.
const TTable kTables[] = {
    {"MApplication",
     "CREATE TABLE MApplication (Id INT NOT NULL PRIMARY KEY,MobilApp SMALLINT NOT NULL,"
     "Step SMALLINT,NextStep SMALLINT,ControlTyp SMALLINT,PControlTyp SMALLINT,"
     "ControlValue VARCHAR(255),ControlLabel VARCHAR(255),ControlLeft SMALLINT,"
     "ControlTop SMALLINT,ControlWidth SMALLINT,ControlHeight SMALLINT,FontSize SMALLINT,"
     "FontColor INT,FeldId INT,StepResult VARCHAR(50),ControlAlign SMALLINT,"
     "Validation VARCHAR(255),InvalidMsg VARCHAR(255),TabOrder SMALLINT)"},
    {"MAuftrag",
     "CREATE TABLE MAuftrag (AuftragId INT NOT NULL PRIMARY KEY,Project SMALLINT NOT NULL,"
     "MobilApp SMALLINT NOT NULL,AuftragBez VARCHAR(255) NOT NULL,Status CHAR(1) NOT NULL,"
     "Termin SMALLDATETIME,Route VARCHAR(25))"},
    {"MData", "CREATE TABLE MData (AuftragId INT NOT NULL,FeldId INT NOT NULL,"
              "FeldValue VARCHAR(255),Status CHAR(1))"},
    {"Monteure", "CREATE TABLE Monteure (MonteurId INT NOT NULL PRIMARY KEY,"
                 "Monteur VARCHAR(100))"},
    {"MMaterial",
     "CREATE TABLE MMaterial (MatId INT NOT NULL PRIMARY KEY,MatKatId INT,PosNr VARCHAR(20),"
     "Bezeichnung VARCHAR(255),Hersteller VARCHAR(100),ArtNr VARCHAR(50),ME VARCHAR(10),"
     "Bemerkung VARCHAR(255))"},
    {"MProjectLV",
     "CREATE TABLE MProjectLV (ProjectLVId INT NOT NULL PRIMARY KEY,ProjectId INT,"
     "Abrechnung VARCHAR(20),ProjectLVPos VARCHAR(20),Bezeichnung VARCHAR(255),ME VARCHAR(10),"
     "Menge INT,DetailText VARCHAR(255))"},
    {"MValues", "CREATE TABLE MValues (Id INT NOT NULL PRIMARY KEY,Class SMALLINT NOT NULL,"
                "MValue VARCHAR(255) NOT NULL,Bezeichnung VARCHAR(100) NOT NULL,"
                "Reihe SMALLINT NOT NULL)"},
    {"SysData", "CREATE TABLE SysData (Id SMALLINT NOT NULL PRIMARY KEY,SysValue VARCHAR(255),"
                "LastEdit SMALLDATETIME)"},
    {"MBlob",
     "CREATE TABLE MBlob (Id INT NOT NULL PRIMARY KEY,AuftragId INT NOT NULL,FeldId INT NOT "
     "NULL,FeldValue VARCHAR(255),Status CHAR(1),FeldBlob IMAGE,Created SMALLDATETIME NOT NULL,"
     "Creator SMALLINT NOT NULL)"},
};

const char* const kStreets[] = {"Hauptstraße", "Bahnhofstraße", "Lindenweg",
                                "Am Markt",    "Gartenstraße",  "Schillerplatz"};
const char* const kTowns[] = {"Kassel", "Göttingen", "Fulda", "Marburg"};

std::string Text(const std::string& value) {
    return QuoteSQLString(value, 2);
}

class TFiller {
public:
    explicit TFiller(TSQLADOServer& db) : db_(db) {}
    void Add(const char* table, const std::string& columns, const std::string& values) {
        ok_ = ok_ && db_.Insert(table, columns, values);
    }
    bool Ok() const { return ok_; }

private:
    TSQLADOServer& db_;
    bool ok_ = true;
};

void FillLists(TFiller& f) {
    const char* fitters[] = {"Jansen, Peter", "Özdemir, Ayşe", "Müller, Jörg", "Weiß, Anna"};
    for (int i = 0; i < 4; ++i) {
        f.Add("Monteure", "MonteurId,Monteur", std::to_string(i + 1) + "," + Text(fitters[i]));
    }
    const char* materials[][3] = {{"Dichtung 1/2\"", "Gebo", "Stk"},
                                  {"Kupferrohr 15 mm", "Wieland", "m"},
                                  {"Thermostatkopf", "Danfoss", "Stk"},
                                  {"Abgasrohr DN 80", "Centrotherm", "m"}};
    for (int i = 0; i < 4; ++i) {
        f.Add("MMaterial", "MatId,MatKatId,PosNr,Bezeichnung,Hersteller,ArtNr,ME,Bemerkung",
              std::to_string(i + 1) + ",1," + Text(std::to_string(10 * (i + 1))) + "," +
                  Text(materials[i][0]) + "," + Text(materials[i][1]) + "," +
                  Text("A-" + std::to_string(4711 + i)) + "," + Text(materials[i][2]) + ",null");
    }
    const char* items[] = {"Wartung Gastherme", "Abgasmessung", "Austausch Brenner"};
    for (int i = 0; i < 3; ++i) {
        f.Add("MProjectLV",
              "ProjectLVId,ProjectId,Abrechnung,ProjectLVPos,Bezeichnung,ME,"
              "Menge,DetailText",
              std::to_string(i + 1) + ",1," + Text("Pauschal") + "," +
                  Text("01." + std::to_string(i + 1)) + "," + Text(items[i]) + "," + Text("Stk") +
                  ",1," + Text(std::string(items[i]) + "\r\nlaut Vertrag"));
    }
    const char* modes[] = {"kein Zeitstempel", "oben links", "oben rechts", "unten links",
                           "unten rechts"};
    for (int i = 0; i < 5; ++i) {
        f.Add("MValues", "Id,Class,MValue,Bezeichnung,Reihe",
              std::to_string(100 + i) + ",1005," + Text(std::to_string(i)) + "," + Text(modes[i]) +
                  "," + std::to_string(i + 1));
    }
    const char* kinds[][2] = {{"51", "Typenschild"}, {"52", "Schaden"}, {"53", "Abgasweg"}};
    for (int i = 0; i < 3; ++i) {
        f.Add("MValues", "Id,Class,MValue,Bezeichnung,Reihe",
              std::to_string(200 + i) + ",1006," + Text(kinds[i][0]) + "," + Text(kinds[i][1]) +
                  "," + std::to_string(i + 1));
    }
    const char* system[][2] = {
        {"8", "/media/kamera/DCIM/"}, {"9", "IMG_"}, {"10", "1"}, {"11", "Zentrale Kassel"}};
    for (const auto& row : system) {
        f.Add("SysData", "Id,SysValue,LastEdit",
              std::string(row[0]) + "," + Text(row[1]) + "," + Text("01.12.2026 08:00"));
    }
    const char* steps[] = {"Auftrag", "Zählerstand", "Foto Typenschild", "Unterschrift"};
    for (int i = 0; i < 4; ++i) {
        f.Add("MApplication",
              "Id,MobilApp,Step,NextStep,ControlTyp,PControlTyp,ControlValue,ControlLabel,"
              "ControlLeft,ControlTop,ControlWidth,ControlHeight,FontSize,FontColor,FeldId,"
              "StepResult,ControlAlign,Validation,InvalidMsg,TabOrder",
              std::to_string(i + 1) + ",1," + std::to_string(i + 1) + "," + std::to_string(i + 2) +
                  ",1,0,null," + Text(steps[i]) + ",10," + std::to_string(20 + 30 * i) +
                  ",200,24,9,0," + std::to_string(i + 10) + ",null,0,null,null," +
                  std::to_string(i + 1));
    }
}

void FillJobs(TFiller& f, const TImportShape& shape) {
    for (int j = 0; j < shape.Jobs; ++j) {
        const int id = shape.FirstJobId + j;
        const std::string name =
            std::string(kStreets[j % 6]) + " " + std::to_string(j + 3) + ", " + kTowns[j % 4];
        const std::string day = PadLeft(std::to_string(j % 28 + 1), 2, '0');
        f.Add("MAuftrag", "AuftragId,Project,MobilApp,AuftragBez,Status,Termin,Route",
              std::to_string(id) + ",1,1," + Text("Wartung " + name) + "," + Text("1") + "," +
                  Text(day + ".12.2026 09:30") + "," + Text("Tour " + std::to_string(j % 3 + 1)));
        for (int k = 0; k < shape.FieldsPerJob; ++k) {
            f.Add("MData", "AuftragId,FeldId,FeldValue,Status",
                  std::to_string(id) + "," + std::to_string(k + 10) + "," +
                      Text(k == 0 ? name : "Wert " + std::to_string(k)) + "," + Text("0"));
        }
        f.Add("MBlob", "Id,AuftragId,FeldId,FeldValue,Created,Creator,Status",
              std::to_string(100 + j) + "," + std::to_string(id) + ",51," +
                  Text("IMG_" + std::to_string(1000 + j) + ".jpg") + "," +
                  Text(day + ".11.2026 14:05") + ",1," + Text("1"));
    }
}

} // namespace

bool MakeImportDatabase(const std::string& path, const TImportShape& shape, std::string& error) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    TSQLADOServer db;
    db.SetServerType(Jet);
    db.DataSource = path;
    bool ok = db.CreateDatabase() && db.Connect();
    for (const TTable& table : kTables) {
        ok = ok && db.ExecSQL(table.Create);
    }
    if (ok && db.BeginTransaction()) {
        TFiller filler(db);
        FillLists(filler);
        FillJobs(filler, shape);
        ok = filler.Ok() && db.Commit();
    }
    if (!ok) {
        error = db.LastError;
    }
    db.Disconnect();
    return ok;
}

void MakeDeviceExport(const std::string& path, const std::string& identity, int bulkRows) {
    struct TRow {
        int AuftragId, FeldId;
        std::string FeldValue, FeldBlob;
    };
    std::vector<TRow> rows = {
        {0, 0, identity, ""},
        {1000, 10, "Zählerstand 004711,5 m³", ""},
        {1000, 11, "Kunde sagt: \"Therme tropft\" & rauscht <laut>", ""},
        {1000, 51, "DSC_0001.jpg", ""},
        {1001, 10, "Zählerstand 000815,0 m³", ""},
        {1001, 52, "\\Storage Card\\DCIM\\IMG_1001.jpg", "FFD8FFE000104A464946"},
    };
    const std::string kilobyte(2048, 'A');
    for (int k = 0; k < bulkRows; ++k) {
        const bool photo = k % 4 != 3;
        rows.push_back({5000 + k / 30, photo ? 50 + k % 30 : 10 + k % 30,
                        (photo ? "IMG_" : "Wert ") + std::to_string(k),
                        k % 10 == 0 ? kilobyte : ""});
    }
    pugi::xml_document doc;
    pugi::xml_node table = doc.append_child("table");
    int id = 1;
    for (const TRow& row : rows) {
        if (id == 7) {
            id = 100000; // the busy week's rows
        }
        pugi::xml_node record = table.append_child("record");
        auto field = [&](const char* name, const std::string& value) {
            record.append_child(name).text().set(value.c_str());
        };
        field("Id", std::to_string(id++));
        field("AuftragId", std::to_string(row.AuftragId));
        field("FeldId", std::to_string(row.FeldId));
        field("FeldValue", row.FeldValue);
        if (!row.FeldBlob.empty()) {
            field("FeldBlob", row.FeldBlob);
        }
        const int minute = (10 + id) % 60;
        field("Created",
              "05.12.2026 10:" + std::string(minute < 10 ? "0" : "") + std::to_string(minute));
        field("Creator", "1");
    }
    std::ostringstream xml;
    doc.save(xml, "", pugi::format_raw);
    TMemoryStream plain;
    plain.WriteString(xml.str());
    TMemoryStream packed;
    DeflateStream(plain, packed);
    packed.SaveToFile(path);
}

} // namespace orvendal::simulator
