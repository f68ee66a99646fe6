// TVelBlob on a real "mobil.mdb" and real camera JPEG files: storing, archive copies, stamps,
// printers' inks, EXIF orientations, damaged files, sending, and the assignment dialog's logic
// through the scripted view.

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
#include <utime.h>

namespace orvendal::testing {
namespace {

namespace fs = std::filesystem;

bool Near(const QColor& c, int r, int g, int b, int tolerance = 40) {
    return std::abs(c.red() - r) < tolerance && std::abs(c.green() - g) < tolerance &&
           std::abs(c.blue() - b) < tolerance;
}

class VelBlobTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { // fonts for the stamp
        static int argc = 1;
        static char name[] = "test_photo", *argv[] = {name, nullptr};
        static auto* app = new QGuiApplication(argc, argv);
        (void)app;
    }
    void SetUp() override {
        fs::create_directories(Camera(""));
        fs::create_directories(Work(""));
        CreateMobil(db_, Work("mobil.mdb"));
        blob_.View = &view_;
        blob_.Server = &db_;
        blob_.WorkDir = Work("");
        blob_.PhotoDir = Camera("");
        blob_.StatusLabel = "Label103";
    }
    void TearDown() override { db_.Disconnect(); }
    std::string Work(const std::string& name) const { return folder_.Path() + "work/" + name; }
    std::string Camera(const std::string& name) const { return folder_.Path() + "dcim/" + name; }
    void Exec(const std::string& sql) { ASSERT_TRUE(db_.ExecSQL(sql)) << db_.LastError << sql; }
    void Row(int id, std::string value = "", const std::string& status = "0", int feldId = 51) {
        value = value.empty() ? "IMG_" + std::to_string(id) + ".jpg" : value;
        Exec("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) VALUES(" +
             std::to_string(id) + ",1000," + std::to_string(feldId) + ",'" + value +
             "','05.12.2026 10:00',1,'" + status + "')");
    }
    void Sys(int id, const std::string& value) {
        Exec("DELETE FROM SysData WHERE Id=" + std::to_string(id));
        Exec("INSERT INTO SysData(Id,SysValue) VALUES(" + std::to_string(id) + ",'" + value + "')");
    }
    // A gradient camera picture.
    void Photo(const std::string& path, int w, int h) {
        CameraJpeg(path, w, h, [&](int x, int y) { return QColor(x * 255 / w, y * 255 / h, 40); });
    }
    void Read(int id, const std::string& file) {
        ASSERT_TRUE(
            db_.Select(schema::MBlobColumns, "MBlob", "Id=" + std::to_string(id), "", blob_.Rows));
        MoveToRow(blob_.Rows, 1);
        blob_.FileName = file;
        blob_.ReadPhoto();
    }
    QImage Stored(int id) {
        TMemoryStream bytes;
        EXPECT_TRUE(db_.ReadBlob("MBlob", "FeldBlob", "Id=" + std::to_string(id), bytes));
        return QImage::fromData(bytes.Bytes().data(), int(bytes.Size()), "JPEG");
    }
    std::string Status(int id) {
        TRecordSet rs;
        db_.Select("Status", "MBlob", "Id=" + std::to_string(id), "", rs);
        return FieldText(rs, 1, 1);
    }
    // The share of grey stamp pixels along the outer row of a corner.
    static double Grey(const QImage& image, bool right, bool bottom) {
        int grey = 0;
        for (int dx = 0; dx < 32; ++dx) {
            grey += Near(image.pixelColor(right ? image.width() - 36 + dx : 2 + dx,
                                          bottom ? image.height() - 4 : 1),
                         128, 128, 128, 24);
        }
        return grey / 32.0;
    }

    TTempFolder folder_;
    TSQLADOServer db_;
    TScriptedView view_;
    TVelBlob blob_;
};

TEST(VelBlobStaticTest, FitIntoKindColorAndControlNumbers) {
    const int fits[][5] = {{640, 3000, 2000, 640, 427}, {640, 2000, 3000, 427, 640},
                           {640, 600, 400, 600, 400},   {390, 1600, 1200, 390, 293},
                           {640, 640, 640, 640, 640},   {290, 1200, 1600, 218, 290}};
    for (const auto& c : fits) {
        int w = c[1], h = c[2];
        TVelBlob::FitInto(c[0], w, h);
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(c[3], c[4])) << c[1] << "x" << c[2];
    }
    EXPECT_EQ(TVelBlob::KindColor("52"), (TColor{255, 0, 0}));
    EXPECT_EQ(TVelBlob::KindColor("69"), (TColor{160, 160, 164}));
    EXPECT_EQ(TVelBlob::KindColor("60"), (TColor{0, 0, 0}));
    EXPECT_EQ(TVelBlob::KindColor("x"), (TColor{0, 0, 0}));
    for (const auto& [id, name] : std::vector<std::pair<int, std::string>>{
             {103, "Label103"}, {107, "Label107"}, {322, "Button322"}, {102, "APanel"}}) {
        EXPECT_EQ(TVelBlob::ControlById(id), name);
    }
}

TEST_F(VelBlobTest, StoredSizeFollowsMaxEdgeAndIsReencoded) {
    const int cases[][4] = {{3000, 2000, 640, 427}, {2000, 3000, 427, 640}, {600, 400, 600, 400}};
    Sys(10, "0");
    for (int id = 1; id <= 3; ++id) {
        const auto& c = cases[id - 1];
        Row(id);
        Photo(Camera("c.jpg"), c[0], c[1]);
        Read(id, Camera("c.jpg"));
        EXPECT_EQ(Stored(id).size(), QSize(c[2], c[3]));
        EXPECT_EQ(Status(id), "1");
    }
    TMemoryStream stored;
    ASSERT_TRUE(db_.ReadBlob("MBlob", "FeldBlob", "Id=3", stored));
    EXPECT_LT(stored.Size(), fs::file_size(Camera("c.jpg"))); // quality 70, not the file's 85
    EXPECT_TRUE(view_.Boxes.empty()) << view_.BoxTexts();
}

TEST_F(VelBlobTest, StampCornerByMode) {
    const std::tuple<const char*, bool, bool> cases[] = {
        {"1", false, false}, {"2", true, false},  {"3", false, true},     {"4", true, true},
        {"7", false, false}, {"x", false, false}, {nullptr, false, false}};
    int id = 0;
    for (const auto& [mode, right, bottom] : cases) {
        SCOPED_TRACE(mode ? mode : "no row");
        Exec("DELETE FROM SysData");
        if (mode) {
            Sys(10, mode);
        }
        Row(++id, "", "0", 52);
        Photo(Camera("s.jpg"), 1280, 960);
        fs::last_write_time(Camera("s.jpg"), fs::file_time_type{}); // the same digits each run
        Read(id, Camera("s.jpg"));
        const QImage pixels = Stored(id);
        EXPECT_GT(Grey(pixels, right, bottom), 0.5);
        EXPECT_LT(Grey(pixels, !right, !bottom), 0.1); // the opposite corner stays the photo
    }
}

// Printers' inks become RGB; an EXIF orientation turns the picture upright before the stamp.
TEST_F(VelBlobTest, InksAndOrientationsComeOutUprightWithTheStampInItsCorner) {
    struct TCase {
        const char* Name;
        TInk Ink;
        int Orientation;
        QSize Size;
        bool RedRight, RedBottom; // the sensor's top left quadrant, upright
    } cases[] = {{"CMYK", TInk::Cmyk, 0, {640, 480}, false, false},
                 {"AdobeCMYK", TInk::AdobeCmyk, 0, {640, 480}, false, false},
                 {"YCCK", TInk::Ycck, 0, {640, 480}, false, false},
                 {"Upright", TInk::Rgb, 1, {640, 480}, false, false},
                 {"UpsideDown", TInk::Rgb, 3, {640, 480}, true, true},
                 {"TurnedRight", TInk::Rgb, 6, {480, 640}, true, false},
                 {"TurnedLeft", TInk::Rgb, 8, {480, 640}, false, true}};
    Sys(10, "4");
    int id = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Row(++id);
        CameraJpeg(
            Camera("o.jpg"), 800, 600,
            [](int x, int y) { return x < 400 && y < 300 ? QColor(Qt::red) : QColor(Qt::blue); },
            c.Ink, c.Orientation);
        fs::last_write_time(Camera("o.jpg"), fs::file_time_type{});
        Read(id, Camera("o.jpg"));
        ASSERT_TRUE(view_.Boxes.empty()) << view_.BoxTexts();
        const QImage pixels = Stored(id);
        ASSERT_EQ(pixels.size(), c.Size);
        const int w = pixels.width(), h = pixels.height();
        const QPoint red(c.RedRight ? w * 3 / 4 : w / 4, c.RedBottom ? h * 3 / 4 : h / 4);
        EXPECT_TRUE(Near(pixels.pixelColor(red), 255, 0, 0))
            << pixels.pixelColor(red).name().toStdString();
        EXPECT_TRUE(Near(pixels.pixelColor(w - red.x(), h - red.y()), 0, 0, 255));
        EXPECT_GT(Grey(pixels, true, true), 0.5); // bottom right of the upright picture
        EXPECT_EQ(Status(id), "1");
    }
}

// A refused picture leaves the row as it was and no file behind: no archive copy, no folder.
TEST_F(VelBlobTest, RefusedPicturesLeaveNothingBehind) {
    Photo(Camera("whole.jpg"), 1200, 900);
    TMemoryStream whole;
    whole.LoadFromFile(Camera("whole.jpg"));
    const auto& bytes = whole.Bytes();
    TMemoryStream cut;
    cut.Write(bytes.data(), bytes.size() * 3 / 5);
    cut.SaveToFile(Camera("cut.jpg"));
    QImage(40, 30, QImage::Format_RGB888).save(QString::fromStdString(Camera("p.bmp")), "BMP");
    const std::tuple<std::string, TMsgKind, std::string> cases[] = {
        {Camera("cut.jpg"), TMsgKind::Warning, "Das Foto ist unvollständig: " + Camera("cut.jpg")},
        {Camera("p.bmp"), TMsgKind::Error,
         "Es können nur Fotos im JPEG-Format verarbeitet werden!"},
        {Camera("whole.jpg"), TMsgKind::Error, "Fehlermeldung beim Speichern der Foto-Daten: "}};
    Row(1);
    for (const auto& [file, kind, text] : cases) {
        SCOPED_TRACE(file);
        view_.Boxes.clear();
        if (file == Camera("whole.jpg")) { // the row cannot be written
            Exec("CREATE TRIGGER refuse BEFORE UPDATE ON MBlob BEGIN SELECT RAISE(ABORT, "
                 "'gesperrt'); END");
        }
        Read(1, file);
        ASSERT_EQ(view_.Boxes.size(), 1u);
        EXPECT_EQ(view_.Boxes[0].Kind, kind);
        EXPECT_EQ(view_.Boxes[0].Text.substr(0, text.size()), text);
        EXPECT_EQ(Status(1), "0");
        EXPECT_EQ(db_.CountRows("MBlob", "FeldBlob is null"), 1);
        EXPECT_FALSE(fs::exists(Work("Fotos")));
    }
}

TEST_F(VelBlobTest, ArchiveCopiesGetUnderscoresAndACompressedCopy) {
    Sys(10, "0");
    Row(1);
    fs::create_directory(Work("Fotos"));
    Photo(Work("Fotos/IMG_0001.jpg"), 100, 80);
    Photo(Work("Fotos/_IMG_0001.jpg"), 100, 80);
    Photo(Camera("IMG_0001.jpg"), 300, 200);
    Read(1, Camera("IMG_0001.jpg"));
    EXPECT_EQ(fs::file_size(Work("Fotos/__IMG_0001.jpg")), fs::file_size(Camera("IMG_0001.jpg")));
    EXPECT_TRUE(fs::exists(Work("Fotos/C___IMG_0001.jpg")));
    EXPECT_EQ(blob_.FileName, Work("Fotos/__IMG_0001.jpg"));
}

TEST_F(VelBlobTest, DeleteAndResendAskFirst) {
    Row(1, "", "3");
    ASSERT_TRUE(db_.Select(schema::MBlobColumns, "MBlob", "Id=1", "", blob_.Rows));
    MoveToRow(blob_.Rows, 1);
    view_.Answers = {false, true, false, true};
    const std::pair<void (TVelBlob::*)(), const char*> steps[] = {{&TVelBlob::ResendPhoto, "3"},
                                                                  {&TVelBlob::ResendPhoto, "2"},
                                                                  {&TVelBlob::DeletePhoto, "2"},
                                                                  {&TVelBlob::DeletePhoto, "0"}};
    for (const auto& [step, status] : steps) {
        (blob_.*step)();
        EXPECT_EQ(Status(1), status);
    }
    EXPECT_EQ(view_.Boxes[0].Text, "Soll dieses Foto nochmals übertragen werden?");
    EXPECT_EQ(view_.Boxes[2].Text, "Wollen Sie dieses Foto wirklich aus der Datenbank löschen? "
                                   "(Sie können anschließend ein anderes Foto zuordnen.)");
}

// Rows 1 and 3 wait (read in, marked again), 2 has no photo; the mail transport writes files.
TEST_F(VelBlobTest, WaitingRowsGoOutOneFileEachAndAFailedSendKeepsTheLetter) {
    Sys(10, "0");
    Photo(Camera("w.jpg"), 200, 100);
    for (int id : {1, 2, 3}) {
        Row(id);
    }
    TVelMail mail;
    auto send = [&](const std::string& folder) {
        TMemoryStream settings;
        TCryptObject().EncryptLines(
            {"1=7", "4=" + Work(""), "14=localhost", "28=" + folder + "out%s.md_"}, settings);
        mail.LoadSettings(settings);
        blob_.Mail = &mail;
        return blob_.SendPhotos();
    };
    EXPECT_TRUE(send(folder_.Path())); // nothing waits yet
    EXPECT_FALSE(fs::exists(Work("MBlobexport.mdb")));
    Read(1, Camera("w.jpg"));
    Read(3, Camera("w.jpg"));
    Exec("UPDATE MBlob SET Status='2' WHERE Id=3");
    EXPECT_TRUE(send(folder_.Path() + "missing/"));
    EXPECT_EQ(Status(1), "1");
    ASSERT_EQ(view_.Boxes.size(), 2u);
    EXPECT_EQ(view_.Boxes[0].Kind, TMsgKind::Warning);
    EXPECT_EQ(view_.Boxes[0].Text.rfind("Fehlermeldung beim Versenden der Foto-Daten: ", 0), 0u);
    EXPECT_TRUE(send(folder_.Path()));
    EXPECT_TRUE(fs::exists(folder_.Path() + "out1.md_") && fs::exists(folder_.Path() + "out2.md_"));
    EXPECT_FALSE(fs::exists(folder_.Path() + "out3.md_"));
    EXPECT_EQ(Status(1) + Status(2) + Status(3), "303");
    EXPECT_FALSE(fs::exists(Work("MBlobexport.mdb")));
    EXPECT_EQ(view_.Text["Label103"], "Foto/Dokument 2 von 2 wird übertragen...");
}

// The assignment dialog's logic on its components, as the dialog binds it.
class AssignmentTest : public VelBlobTest {
protected:
    void SetUp() override {
        VelBlobTest::SetUp();
        blob_.Mode = 90;
        Sys(8, Camera(""));
    }
    static void Touch(const std::string& file, int hour, int minute) {
        std::tm t{0, minute, hour, 5, 11, 126, 0, 0, -1, 0, nullptr};
        const utimbuf times{std::mktime(&t), std::mktime(&t)};
        ASSERT_EQ(utime(file.c_str(), &times), 0);
    }
    bool Shown(const char* c) { return view_.Visible[c]; }
    bool Usable(const char* c) { return view_.Enabled[c]; }
};

TEST_F(AssignmentTest, AnEmptyTableOffersNothing) {
    blob_.Open();
    EXPECT_TRUE(view_.Boxes.empty());
    EXPECT_FALSE(Usable("PrevBtn") || Usable("NextBtn") || Usable("YesBtn"));
    EXPECT_TRUE(Shown("YesBtn"));
    EXPECT_FALSE(Shown("Button321") || Shown("Button322") || Shown("NoBtn"));
    EXPECT_EQ(view_.Picture["Preview"], "");
}

TEST_F(AssignmentTest, CameraFileNamesFromTheValueAndThePrefix) {
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {R"(\Storage Card\DCIM\IMG_0815.jpg)", "DSC", Camera("IMG_0815.jpg")},
        {"815", "DSC", Camera("DSC00815.jpg")},
        {"815", "DSCF", Camera("DSCF0815.jpg")},
        {"815", "IMG_12345", Camera("IMG_12345.jpg")},
        {"123456789", "P", Camera("P3456789.jpg")},
        {"815", nullptr, Camera("00000815.jpg")},
        {"815", "****", Camera("DSCN0815.jpg")},
        {"IMG_0001.JPG", "DSC", Camera("DSC1.JPG.jpg")},
        {"IMG_0002.jpg", "DSC", Camera("IMG_0002.JPG")}, // found whatever its case
        {"815", "DSC", R"(E:\DCIM\DSC00815.jpg)"}};      // without a folder row
    Photo(Camera("DSCN0001.jpg"), 64, 48);
    Photo(Camera("IMG_0002.JPG"), 64, 48);
    for (const auto& [value, prefix, expected] : cases) {
        SCOPED_TRACE(value + std::string(" / ") + (prefix ? prefix : "none"));
        Exec("DELETE FROM MBlob");
        Exec("DELETE FROM SysData WHERE Id=9");
        if (expected[0] == 'E') {
            Exec("DELETE FROM SysData WHERE Id=8");
        }
        if (prefix) {
            Sys(9, prefix);
        }
        Row(1, value);
        blob_.FileName.clear();
        blob_.Open();
        EXPECT_EQ(blob_.FileName, expected);
    }
}

TEST_F(AssignmentTest, AFileThatCannotBeShownDisablesReadingInUntilAFileIsPicked) {
    Row(1, "IMG_0815.jpg");
    TMemoryStream junk;
    junk.WriteString("no picture");
    junk.SaveToFile(Camera("IMG_0815.jpg"));
    blob_.Open();
    EXPECT_EQ(view_.Text["APanel"], "Fehler Dateianzeige: " + Camera("IMG_0815.jpg") + "!");
    EXPECT_FALSE(Usable("YesBtn"));
    EXPECT_EQ(view_.Size["APanel"], std::make_pair(390, 290));
    EXPECT_EQ(view_.Hint["Preview"], "");
    EXPECT_TRUE(Shown("Button322"));
    Photo(Work("chosen.jpg"), 300, 400);
    view_.Pictures = {Work("chosen.jpg")};
    blob_.ButtonClick(322);
    EXPECT_EQ(view_.Text["APanel"], "");
    EXPECT_EQ(view_.Size["APanel"], std::make_pair(218, 290)); // portrait: fitted to the height
    blob_.ButtonClick(306);
    EXPECT_EQ(Status(1), "1");
}

TEST_F(AssignmentTest, TimesMoreThanAnHourApartTurnRed) {
    const std::tuple<int, int, TColor> cases[] = {
        {11, 1, {255, 0, 0}}, {10, 30, {0, 128, 0}}, {8, 59, {255, 0, 0}}};
    Row(1, "IMG_0815.jpg");
    Photo(Camera("IMG_0815.jpg"), 64, 48);
    for (const auto& [hour, minute, color] : cases) {
        Touch(Camera("IMG_0815.jpg"), hour, minute);
        blob_.Open();
        char expected[32];
        std::snprintf(expected, sizeof expected, "05.12.2026 %02d:%02d", hour, minute);
        EXPECT_EQ(view_.Text["Label105"], "05.12.2026 10:00");
        EXPECT_EQ(view_.Text["Label106"], expected);
        EXPECT_EQ(view_.FontColor["Label105"], color) << expected;
        EXPECT_EQ(view_.FontColor["Label106"], color) << expected;
    }
}

TEST_F(AssignmentTest, PreviewSizeAndZoomSteps) {
    Row(1, "IMG_0815.jpg");
    Photo(Camera("IMG_0815.jpg"), 1600, 1200);
    blob_.Open();
    EXPECT_EQ(view_.Hint["Preview"], "Bildgröße: 1600 x 1200");
    const std::pair<float, int> steps[] = {{1.0f, 390},       {1.2f, 468},        {1.44f, 561},
                                           {1.728f, 673},     {2.0736f, 808},     {2.48832f, 970},
                                           {2.985984f, 1164}, {3.5831808f, 1397}, {1.0f, 390}};
    for (const auto& [zoom, width] : steps) {
        EXPECT_NEAR(blob_.Zoom, zoom, 1e-5);
        EXPECT_EQ(view_.Size["APanel"].first, width);
        blob_.PreviewClick();
    }
}

TEST_F(AssignmentTest, JobAndKindOfPhoto) {
    Exec("INSERT INTO MAuftrag(AuftragId,Project,MobilApp,AuftragBez,Status) "
         "VALUES(1000,1,1,'Heizung Müller','1')");
    Exec("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(1,1006,'52','Schild',1)");
    Row(1, "1", "0", 52);
    Exec("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) "
         "VALUES(2,2000,57,'2','05.12.2026 10:00',1,'0')");
    blob_.Open();
    EXPECT_EQ(view_.Text["Label103"], "Heizung Müller");
    EXPECT_EQ(view_.Text["Label107"], "Schild");
    EXPECT_EQ(view_.FontColor["Label107"], (TColor{255, 0, 0}));
    EXPECT_TRUE(Shown("Label104"));
    blob_.ButtonClick(305);
    EXPECT_EQ(view_.Text["Label103"], "(Der Auftrag wurde bereits abgeschlossen.)");
    EXPECT_EQ(view_.Text["Label107"], "");
    EXPECT_EQ(view_.FontColor["Label107"], (TColor{255, 64, 64}));
}

TEST_F(AssignmentTest, ReadInDeleteReadAgainResendAndNextPosition) {
    Sys(10, "0");
    Photo(Camera("IMG_0815.jpg"), 800, 600);
    for (int id : {1, 2, 3}) {
        Row(id, id == 1 ? "IMG_0815.jpg" : "");
    }
    Read(3, Camera("IMG_0815.jpg"));
    blob_.Open();
    blob_.ButtonClick(306);
    EXPECT_EQ(Status(1), "1");
    blob_.ButtonClick(304);
    EXPECT_FALSE(Shown("YesBtn") || Shown("Button322"));
    EXPECT_TRUE(Shown("NoBtn") && Shown("Button321"));
    EXPECT_EQ(view_.Picture["Preview"], Work("~tmp.jpg"));
    EXPECT_FALSE(fs::exists(Work("~tmp.jpg"))); // shown, then removed
    EXPECT_EQ(view_.Hint["Preview"], "Bildgröße: 640 x 480");
    view_.Answers = {true};
    blob_.ButtonClick(307);
    EXPECT_EQ(Status(1), "0");
    EXPECT_TRUE(Shown("YesBtn") && Usable("YesBtn"));
    blob_.ButtonClick(306); // without moving: the camera file again, into the same row
    EXPECT_EQ(Status(1), "1");
    EXPECT_EQ(view_.Boxes.size(), 1u) << view_.BoxTexts(); // the one confirmation
    Exec("UPDATE MBlob SET Status='3' WHERE Id=1");
    blob_.Open();
    EXPECT_TRUE(Shown("RetryBtn") && !Shown("NoBtn"));
    view_.Answers = {true};
    blob_.ButtonClick(309);
    EXPECT_EQ(Status(1), "2");
    EXPECT_EQ(CurrentRow(blob_.Rows), 1); // back on the row, now read afresh
    EXPECT_TRUE(Shown("NoBtn") && !Shown("RetryBtn"));
    blob_.ButtonClick(321);
    EXPECT_EQ(CurrentRow(blob_.Rows), 2); // the next row without a photo
    blob_.ButtonClick(321);
    EXPECT_TRUE(IsEOF(blob_.Rows));
    EXPECT_FALSE(Usable("NextBtn"));
}

// A failed opening hides all but CloseBtn; the next opening brings them back.
TEST_F(AssignmentTest, AnUnreadableTableLeavesOnlyCloseUntilTheNextOpening) {
    const char* controls[] = {"Label103", "Label105", "Label106", "Label107",
                              "PrevBtn",  "NextBtn",  "APanel"};
    Exec("ALTER TABLE MBlob RENAME TO Weg");
    blob_.Open();
    ASSERT_EQ(view_.Boxes.size(), 1u);
    EXPECT_EQ(view_.Boxes[0].Kind, TMsgKind::Error);
    EXPECT_EQ(view_.Boxes[0].Text.rfind("Fehlermeldung beim Öffnen der Foto-Daten: ", 0), 0u);
    for (const char* c : {"Label104", "YesBtn", "NoBtn", "RetryBtn", "Button321", "Button322"}) {
        EXPECT_FALSE(Shown(c)) << c;
    }
    for (const char* c : controls) {
        EXPECT_FALSE(Shown(c)) << c;
    }
    EXPECT_EQ(view_.Visible.count("CloseBtn"), 0u);
    Exec("ALTER TABLE Weg RENAME TO MBlob");
    blob_.Open();
    for (const char* c : controls) {
        EXPECT_TRUE(Shown(c)) << c;
    }
}

} // namespace
} // namespace orvendal::testing
