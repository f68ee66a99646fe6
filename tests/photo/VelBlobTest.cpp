// TVelBlob on a real "mobil.mdb" and real camera JPEG files: storing (sizes, stamps, printers'
// inks, EXIF orientations), refusals that leave nothing behind, sending, and the assignment
// dialog's logic through the scripted view.

#include "photo/VelBlob.h"
#include "common/MobilDb.h"
#include "common/ScriptedView.h"
#include "common/TempFolder.h"
#include "photo/CameraJpeg.h"
#include "protect/Crypt.h"
#include "transport/VelMail.h"

#include <QGuiApplication>
#include <QImage>
#include <filesystem>
#include <fstream>

namespace orvendal::testing {
namespace {

namespace fs = std::filesystem;

bool Near(const QColor& c, QColor want, int tolerance = 40) {
    return std::max({std::abs(c.red() - want.red()), std::abs(c.green() - want.green()),
                     std::abs(c.blue() - want.blue())}) < tolerance;
}

class VelBlobTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { // fonts for the stamp
        static int argc = 1;
        static char name[] = "test_photo", *argv[] = {name, nullptr};
        [[maybe_unused]] static const auto* app = new QGuiApplication(argc, argv);
    }
    void SetUp() override {
        fs::create_directories(Camera(""));
        fs::create_directories(Work(""));
        CreateMobil(db_, Work("mobil.mdb"));
        blob_.View = &view_;
        blob_.Server = &db_;
        blob_.WorkDir = Work("");
        blob_.Mode = 90;
        blob_.StatusLabel = "Label103";
        Sys(8, Camera("").c_str());
    }
    std::string Work(const std::string& name) const { return folder_.Path() + "work/" + name; }
    std::string Camera(const std::string& name) const { return folder_.Path() + "dcim/" + name; }
    void Exec(const std::string& sql) { ASSERT_TRUE(db_.ExecSQL(sql)) << db_.LastError << sql; }
    void Row(int id, std::string value = "", const std::string& status = "0", int feldId = 51,
             int auftrag = 1000) {
        value = value.empty() ? "IMG_" + std::to_string(id) + ".jpg" : value;
        Exec("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) VALUES(" +
             std::to_string(id) + "," + std::to_string(auftrag) + "," + std::to_string(feldId) +
             ",'" + value + "','05.12.2026 10:00',1,'" + status + "')");
    }
    void Sys(int id, const char* value) {
        Exec(value ? "REPLACE INTO SysData(Id,SysValue) VALUES(" + std::to_string(id) + ",'" +
                         value + "')"
                   : "DELETE FROM SysData WHERE Id=" + std::to_string(id));
    }
    // A camera picture, its sensor's top left quadrant red, the rest blue, taken (last written)
    // on 5.12.2026 at 11:00 and the minutes given, local time, so that a stamp shows the same
    // digits.
    void Photo(const std::string& path, int w, int h, TInk ink = TInk::Rgb, int orientation = 0,
               int minutes = 0) {
        CameraJpeg(
            path, w, h, [&](int x, int y) { return x < w / 2 && y < h / 2 ? Qt::red : Qt::blue; },
            ink, orientation);
        std::tm shot{0, minutes, 11, 5, 11, 126, 0, 0, -1, 0, nullptr};
        fs::last_write_time(path, fs::file_time_type::clock::from_sys(
                                      std::chrono::system_clock::from_time_t(std::mktime(&shot))));
    }
    // Reads the file into row id; what the row's FeldBlob then holds.
    std::string Read(int id, const std::string& file) {
        const std::string where = "Id=" + std::to_string(id);
        EXPECT_TRUE(db_.Select(schema::MBlobColumns, "MBlob", where, "", blob_.Rows));
        blob_.FileName = file;
        blob_.ReadPhoto();
        TMemoryStream bytes;
        db_.ReadBlob("MBlob", "FeldBlob", where, bytes);
        return bytes.AsString();
    }
    // The shown controls of the dialog, in this order.
    std::string Shown() {
        std::string names;
        for (const char* c : {"Label103", "Label104", "Label107", "APanel", "PrevBtn", "NextBtn",
                              "YesBtn", "NoBtn", "RetryBtn", "Button321", "Button322"})
            names += view_.Visible[c] ? std::string(c) + " " : "";
        return names;
    }

    TTempFolder folder_;
    TSQLADOServer db_;
    TScriptedView view_;
    TVelBlob blob_;
};

// The share of grey stamp pixels along the outer row of corner 1 (top left) to 4 (bottom right).
double Grey(const QImage& image, int corner) {
    const bool right = corner == 2 || corner == 4, bottom = corner >= 3;
    int grey = 0;
    for (int dx = 0; dx < 32; ++dx)
        grey += Near(image.pixelColor(right ? image.width() - 36 + dx : 2 + dx,
                                      bottom ? image.height() - 4 : 1),
                     QColor(128, 128, 128), 24);
    return grey / 32.0;
}

// The stored photo: shrunk to 640 pixels, never enlarged, upright as EXIF says, inks turned into
// RGB, stamped (SysData 10) at the corner of the upright picture; Corner 0 means no stamp.
TEST_F(VelBlobTest, StoredPhotosAreShrunkUprightInRgbAndStampedInTheirCorner) {
    const std::tuple<const char*, int, int, TInk, int, int, int, int, int, int> cases[] = {
        {nullptr, 3000, 2000, TInk::Rgb, 0, 640, 427, 1, 1, 1},
        {"2", 2000, 3000, TInk::Rgb, 0, 427, 640, 1, 1, 2},
        {"0", 600, 400, TInk::Rgb, 0, 600, 400, 1, 1, 0},
        {"3", 800, 600, TInk::Rgb, 0, 640, 480, 1, 1, 3},
        {"1", 800, 600, TInk::Rgb, 0, 640, 480, 1, 1, 1},
        {"5", 800, 600, TInk::Rgb, 0, 640, 480, 1, 1, 1},
        {"x", 800, 600, TInk::Rgb, 0, 640, 480, 1, 1, 1},
        {"4", 800, 600, TInk::Cmyk, 0, 640, 480, 1, 1, 4},
        {"4", 800, 600, TInk::AdobeCmyk, 0, 640, 480, 1, 1, 4},
        {"4", 800, 600, TInk::Ycck, 0, 640, 480, 1, 1, 4},
        {"4", 800, 600, TInk::Rgb, 3, 640, 480, 3, 3, 4},
        {"4", 800, 600, TInk::Rgb, 6, 480, 640, 3, 1, 4},
        {"4", 800, 600, TInk::Rgb, 8, 480, 640, 1, 3, 4}};
    int id = 0;
    for (const auto& [mode, w, h, ink, orientation, storedW, storedH, redX, redY, corner] : cases) {
        Sys(10, mode);
        Row(++id, "", "0", 52);
        Photo(Camera("c.jpg"), w, h, ink, orientation);
        const std::string jpeg = Read(id, Camera("c.jpg"));
        const QImage p = QImage::fromData(QByteArray::fromStdString(jpeg), "JPEG");
        const int x = p.width() * redX / 4, y = p.height() * redY / 4, stamp = corner ? corner : 4;
        EXPECT_EQ(
            (std::vector<int>{p.width(), p.height(), Near(p.pixelColor(x, y), Qt::red),
                              Near(p.pixelColor(p.width() - x, p.height() - y), Qt::blue),
                              Grey(p, stamp) > 0.5, Grey(p, 5 - stamp) < 0.1, // opposite
                              // quality 70: the last luminance quantizer, 99 x 60 %
                              uint8_t(jpeg.at(jpeg.find("\xFF\xDB") + 68)),
                              db_.CountRows("MBlob", "Status='1' and Id=" + std::to_string(id))}),
            (std::vector<int>{storedW, storedH, 1, 1, corner > 0, 1, 59, 1}))
            << "row " << id;
    }
    EXPECT_TRUE(view_.Boxes.empty()) << view_.BoxTexts();
}

// A refused picture leaves the row as it was and nothing behind: no archive copy, no folder.
TEST_F(VelBlobTest, RefusedPicturesLeaveNothingBehind) {
    Photo(Camera("whole.jpg"), 1200, 900);
    fs::copy_file(Camera("whole.jpg"), Camera("cut.jpg"));
    fs::resize_file(Camera("cut.jpg"), fs::file_size(Camera("cut.jpg")) * 3 / 5);
    QImage(40, 30, QImage::Format_RGB888).save(QString::fromStdString(Camera("p.bmp")), "BMP");
    const std::tuple<std::string, TMsgKind, std::string> cases[] = {
        {"cut.jpg", TMsgKind::Warning, "Das Foto ist unvollständig: " + Camera("cut.jpg")},
        {"p.bmp", TMsgKind::Error, "Es können nur Fotos im JPEG-Format verarbeitet werden!"},
        {"whole.jpg", TMsgKind::Error, "Fehlermeldung beim Speichern der Foto-Daten: gesperrt"}};
    Row(1);
    for (const auto& [file, kind, text] : cases) {
        if (file == "whole.jpg") // the row cannot be written
            Exec("CREATE TRIGGER refuse BEFORE UPDATE ON MBlob BEGIN SELECT RAISE(ABORT, "
                 "'gesperrt'); END");
        view_.Boxes.clear();
        Read(1, Camera(file));
        ASSERT_EQ(view_.BoxTexts(), text + "\n");
        EXPECT_EQ(view_.Boxes[0].Kind, kind);
        EXPECT_EQ(db_.CountRows("MBlob", "Status='0' and FeldBlob is null"), 1);
        EXPECT_FALSE(fs::exists(Work("Fotos")));
    }
}

// A failed send warns and keeps the letter.
TEST_F(VelBlobTest, AFailedSendWarnsAndKeepsTheLetter) {
    TVelMail mail;
    TMemoryStream settings;
    TCryptObject().EncryptLines(
        {"1=7", "4=" + Work(""), "14=localhost", "28=" + Work("missing/out%s.md_")}, settings);
    mail.LoadSettings(settings);
    blob_.Mail = &mail;
    Row(1, "", "2");
    blob_.SendPhotos();
    EXPECT_EQ(db_.CountRows("MBlob", "Status='2'"), 1);
    EXPECT_TRUE(view_.Boxes.size() == 1 && view_.Boxes[0].Kind == TMsgKind::Warning &&
                view_.BoxTexts().starts_with("Fehlermeldung beim Versenden der Foto-Daten: "));
    EXPECT_EQ(view_.Text["Label103"], "Foto/Dokument 1 von 1 wird übertragen...");
}

TEST_F(VelBlobTest, CameraFileNamesFromTheValueAndThePrefix) {
    // In the camera folder, IMG_0002.JPG found whatever its case; the last without a folder row.
    const char* const cases[][3] = {{"815", "DSC", "DSC00815.jpg"},
                                    {"815", "IMG_12345", "IMG_12345.jpg"},
                                    {"123456789", "P", "P3456789.jpg"},
                                    {"815", nullptr, "00000815.jpg"},
                                    {"815", "****", "DSCN0815.jpg"},
                                    {"IMG_0001.JPG", "DSC", "DSC1.JPG.jpg"},
                                    {"IMG_0002.jpg", "DSC", "IMG_0002.JPG"},
                                    {R"(\Storage Card\DCIM\IMG_0815.jpg)", "DSC", "IMG_0815.jpg"},
                                    {"815", "DSC", R"(E:\DCIM\DSC00815.jpg)"}};
    Photo(Camera("DSCN0001.jpg"), 64, 48);
    std::ofstream(Camera(".jpg")) << "a name, no more"; // sorted first, but no picture's name
    Photo(Camera("IMG_0002.JPG"), 64, 48);
    for (const auto& [value, prefix, expected] : cases) {
        Exec("DELETE FROM MBlob");
        Sys(9, prefix);
        if (expected[0] == 'E')
            Sys(8, nullptr);
        Row(1, value);
        blob_.FileName.clear();
        blob_.Open();
        EXPECT_EQ(blob_.FileName, expected[0] == 'E' ? expected : Camera(expected)) << value;
    }
}

// The dialog's logic walked through: a failed opening, then two rows; the camera file of row 1
// is an hour and a minute off the device's time, the one of row 2 is no picture.
TEST_F(VelBlobTest, TheAssignmentDialogsLogicStepByStep) {
    Exec("INSERT INTO MAuftrag(AuftragId,Project,MobilApp,AuftragBez,Status) "
         "VALUES(1000,1,1,'Heizung Müller','1')");
    Exec("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(1,1006,'52','Schild',1)");
    Sys(10, "0");
    Row(1, "", "0", 52);
    Row(2, "", "0", 57, 2000);
    Photo(Camera("IMG_1.jpg"), 1600, 1200, TInk::Rgb, 0, 1);
    std::ofstream(Camera("IMG_2.jpg")) << "no picture";
    fs::create_directory(Work("Fotos"));
    for (const char* taken : {"IMG_1.jpg", "_IMG_1.jpg"}) // archive names already taken
        Photo(Work("Fotos/") + taken, 64, 48);
    Exec("ALTER TABLE MBlob RENAME TO Weg");
    blob_.Open(); // all hidden but Schließen
    EXPECT_EQ(Shown() + std::to_string(view_.Visible.count("CloseBtn")), "0");
    EXPECT_TRUE(view_.BoxTexts().starts_with("Fehlermeldung beim Öffnen der Foto-Daten: "));
    Exec("ALTER TABLE Weg RENAME TO MBlob");
    blob_.Open(); // row 1: every control back
    EXPECT_EQ(Shown(), "Label103 Label104 Label107 APanel PrevBtn NextBtn YesBtn Button322 ");
    EXPECT_EQ(view_.Text["Label103"] + "|" + view_.Text["Label107"] + "|" + view_.Text["Label105"] +
                  "|" + view_.Text["Label106"],
              "Heizung Müller|Schild|05.12.2026 10:00|05.12.2026 11:01");
    for (const char* label : {"Label105", "Label106", "Label107"})
        EXPECT_EQ(view_.FontColor[label], (TColor{255, 0, 0})) << label;
    EXPECT_EQ(view_.Size["APanel"], std::make_pair(390, 293));
    for (int width : {468, 561, 673, 808, 970, 1164, 1397, 390}) { // zoom 1.2, 1.44, ... 3.58, 1
        blob_.PreviewClick();
        EXPECT_EQ(view_.Size["APanel"].first, width);
    }
    EXPECT_TRUE(view_.Enabled["YesBtn"]);
    blob_.ButtonClick(306); // read in, on to row 2
    EXPECT_TRUE(fs::file_size(Work("Fotos/__IMG_1.jpg")) == fs::file_size(Camera("IMG_1.jpg")) &&
                fs::exists(Work("Fotos/C___IMG_1.jpg")));
    EXPECT_EQ(view_.Text["Label103"] + "|" + view_.Text["APanel"],
              "(Der Auftrag wurde bereits abgeschlossen.)|Fehler Dateianzeige: " +
                  Camera("IMG_2.jpg") + "!");
    EXPECT_EQ(view_.FontColor["Label107"], (TColor{255, 64, 64}));
    EXPECT_TRUE(view_.Size["APanel"] == std::make_pair(390, 290) && !view_.Enabled["YesBtn"]);
    Photo(Work("chosen.jpg"), 300, 400);
    view_.Pictures = {Work("chosen.jpg")};
    blob_.ButtonClick(322); // portrait: fitted to the height
    EXPECT_TRUE(view_.Text["APanel"].empty() && view_.Size["APanel"] == std::make_pair(218, 290));
    blob_.ButtonClick(306);
    EXPECT_FALSE(view_.Enabled["NextBtn"]); // past the last row
    blob_.ButtonClick(304);
    EXPECT_TRUE(view_.Picture["Preview"] == Work("~tmp.jpg") && !fs::exists(Work("~tmp.jpg")))
        << "shown, then removed";
    EXPECT_EQ(Shown(), "Label103 Label104 Label107 APanel PrevBtn NextBtn NoBtn Button321 ");
    view_.Answers = {false, true, true};
    blob_.ButtonClick(307); // No: stays
    EXPECT_EQ(db_.CountRows("MBlob", "Id=2 and Status='1'"), 1);
    blob_.ButtonClick(307);
    EXPECT_EQ(db_.CountRows("MBlob", "Id=2 and Status='0' and FeldBlob is null"), 1);
    Exec("UPDATE MBlob SET Status='3' WHERE Id=1");
    blob_.Open();
    EXPECT_EQ(Shown(), "Label103 Label104 Label107 APanel PrevBtn NextBtn RetryBtn Button321 ");
    blob_.ButtonClick(309); // back on the row, now read afresh
    EXPECT_EQ(db_.CountRows("MBlob", "Id=1 and Status='2'") * 10 + CurrentRow(blob_.Rows), 11);
    EXPECT_EQ(Shown(), "Label103 Label104 Label107 APanel PrevBtn NextBtn NoBtn Button321 ");
    blob_.ButtonClick(321);
    EXPECT_EQ(CurrentRow(blob_.Rows), 2); // the next row without a photo
    blob_.ButtonClick(321);
    EXPECT_TRUE(IsEOF(blob_.Rows));
    Exec("UPDATE MBlob SET FeldBlob=NULL,Status='0' WHERE Id=1"); // an hour apart is not too far
    Photo(Camera("IMG_1.jpg"), 1600, 1200);
    view_.FontColor.clear();
    blob_.Open();
    EXPECT_EQ(view_.Text["Label106"], "05.12.2026 11:00");
    EXPECT_NE(view_.FontColor["Label105"], (TColor{255, 0, 0}));
    EXPECT_EQ(view_.Boxes.size(), 4u) << view_.BoxTexts(); // the opening and three questions
}

} // namespace
} // namespace orvendal::testing
