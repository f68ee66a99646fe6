#include "photo/VelBlob.h"
#include "common/MobilDb.h"
#include "common/ScriptedView.h"
#include "common/TempFolder.h"
#include "exchange/Schema.h"
#include "photo/Jpeg.h"
#include "protect/Crypt.h"
#include "transport/VelMail.h"

#include <QGuiApplication>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

namespace orvendal::testing {
namespace {

namespace fs = std::filesystem;

// Fonts for the time stamp need a GUI application; the tests run offscreen.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[8] = "photos";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// A camera picture: a smooth gradient of the given size, saved as JPEG.
void CameraJpeg(const std::string& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixelColor(x, y, QColor(x * 255 / width, y * 255 / height, 40));
        }
    }
    TMemoryStream out;
    EncodeJpeg(image, 90, out);
    out.SaveToFile(path);
}

class VelBlobTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_ / "work");
        fs::create_directories(root_ / "camera");
        CreateMobil(db_, Work("mobil.mdb"));
        blob_.View = &view_;
        blob_.Server = &db_;
        blob_.WorkDir = Work("");
        blob_.PhotoDir = (root_ / "camera").string() + "/";
        blob_.StatusLabel = "Label1";
    }
    void TearDown() override { db_.Disconnect(); }
    std::string Work(const std::string& name) const {
        return (root_ / "work").string() + "/" + name;
    }
    std::string Camera(const std::string& name) const { return blob_.PhotoDir + name; }

    void Insert(int id, int feldId, const std::string& feldValue, const std::string& created,
                const std::string& status) {
        ASSERT_TRUE(db_.ExecSQL("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,"
                                "Status) VALUES(" +
                                std::to_string(id) + ",1000," + std::to_string(feldId) + ",'" +
                                feldValue + "','" + created + "',1,'" + status + "')"))
            << db_.LastError;
    }
    void Row(int id, int feldId, const std::string& status) {
        Insert(id, feldId, "IMG_" + std::to_string(id) + ".jpg", "05.12.2026 10:00", status);
    }
    void Sys(int id, const std::string& value) {
        ASSERT_TRUE(db_.ExecSQL("INSERT INTO SysData(Id,SysValue) VALUES(" + std::to_string(id) +
                                ",'" + value + "')"))
            << db_.LastError;
    }
    void Mode(const std::string& mode) { Sys(10, mode); }
    // Reads the camera file into row id.
    void Read(int id, const std::string& file) {
        ASSERT_TRUE(
            db_.Select(schema::MBlobColumns, "MBlob", "Id=" + std::to_string(id), "", blob_.Rows));
        MoveToRow(blob_.Rows, 1);
        blob_.FileName = file;
        blob_.ReadPhoto();
    }
    TJpegImage Stored(int id) {
        TMemoryStream bytes;
        EXPECT_TRUE(db_.ReadBlob("MBlob", "FeldBlob", "Id=" + std::to_string(id), bytes));
        TJpegImage image;
        bytes.SaveToFile(Work("stored.jpg"));
        EXPECT_TRUE(image.Load(Work("stored.jpg")));
        return image;
    }
    std::string Status(int id) {
        TRecordSet rs;
        db_.Select("Status", "MBlob", "Id=" + std::to_string(id), "", rs);
        return FieldText(rs, 1, 1);
    }

    TTempFolder folder_;
    fs::path root_ = folder_.Path();
    TSQLADOServer db_;
    TScriptedView view_;
    TVelBlob blob_;
};

TEST(FitIntoTest, ShrinksTheLongerEdgeAndNeverEnlarges) {
    struct TCase {
        int Edge, W, H, ExpectedW, ExpectedH;
    } cases[] = {{640, 3000, 2000, 640, 427}, {640, 2000, 3000, 427, 640},
                 {640, 600, 400, 600, 400},   {390, 1600, 1200, 390, 293},
                 {640, 640, 640, 640, 640},   {290, 1200, 1600, 218, 290}};
    for (const TCase& c : cases) {
        int w = c.W, h = c.H;
        TVelBlob::FitInto(c.Edge, w, h);
        EXPECT_EQ(w, c.ExpectedW) << c.W << "x" << c.H;
        EXPECT_EQ(h, c.ExpectedH) << c.W << "x" << c.H;
    }
}

TEST(KindColorTest, KindsAndUnknownValues) {
    EXPECT_EQ(TVelBlob::KindColor("52"), (TColor{255, 0, 0}));
    EXPECT_EQ(TVelBlob::KindColor("51"), (TColor{0, 128, 0}));
    EXPECT_EQ(TVelBlob::KindColor("69"), (TColor{160, 160, 164}));
    EXPECT_EQ(TVelBlob::KindColor("60"), (TColor{0, 0, 0}));
    EXPECT_EQ(TVelBlob::KindColor("x"), (TColor{0, 0, 0}));
}

TEST_F(VelBlobTest, StoredSizesFollowMaxEdge) {
    struct TCase {
        int W, H, StoredW, StoredH;
    } cases[] = {{3000, 2000, 640, 427}, {2000, 3000, 427, 640}, {600, 400, 600, 400}};
    int id = 1;
    Mode("0");
    for (const TCase& c : cases) {
        Row(id, 51, "0");
        CameraJpeg(Camera("c" + std::to_string(id) + ".jpg"), c.W, c.H);
        Read(id, Camera("c" + std::to_string(id) + ".jpg"));
        TJpegImage stored = Stored(id);
        EXPECT_EQ(stored.Width, c.StoredW);
        EXPECT_EQ(stored.Height, c.StoredH);
        EXPECT_EQ(Status(id), "1");
        ++id;
    }
    EXPECT_TRUE(view_.Boxes.empty()) << view_.Boxes.front().Text;
}

TEST_F(VelBlobTest, ModeZeroStillReencodes) {
    Mode("0");
    Row(1, 51, "0");
    CameraJpeg(Camera("a.jpg"), 600, 400);
    Read(1, Camera("a.jpg"));
    TMemoryStream original, stored;
    original.LoadFromFile(Camera("a.jpg"));
    ASSERT_TRUE(db_.ReadBlob("MBlob", "FeldBlob", "Id=1", stored));
    EXPECT_NE(stored.Bytes(), original.Bytes()); // quality 90 in, quality 70 out
    EXPECT_LT(stored.Size(), original.Size());
}

TEST_F(VelBlobTest, StampCornerByMode) {
    struct TCase {
        const char* Mode;
        bool Right, Bottom;
    } cases[] = {{"1", false, false}, {"2", true, false},  {"3", false, true},
                 {"4", true, true},   {"7", false, false}, {"x", false, false}};
    int id = 1;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Mode);
        db_.ExecSQL("DELETE FROM SysData");
        Mode(c.Mode);
        Row(id, 52, "0");
        CameraJpeg(Camera("s.jpg"), 1280, 960);
        Read(id, Camera("s.jpg"));
        TJpegImage stored = Stored(id);
        ASSERT_EQ(stored.Width, 640);
        QImage pixels = stored.Decode(640, 480);
        // The box's top (or bottom) rows lie above (or below) the glyphs: they are its grey.
        auto greyShare = [&](bool right, bool bottom) {
            int grey = 0;
            for (int dx = 0; dx < 32; ++dx) {
                const QColor color = pixels.pixelColor(right ? 604 + dx : 2 + dx, bottom ? 476 : 1);
                grey += std::abs(color.red() - 128) < 24 && std::abs(color.green() - 128) < 24 &&
                        std::abs(color.blue() - 128) < 24;
            }
            return grey / 32.0;
        };
        EXPECT_GT(greyShare(c.Right, c.Bottom), 0.75);
        EXPECT_LT(greyShare(!c.Right, !c.Bottom), 0.1); // the opposite corner stays the photo
        ++id;
    }
}

TEST_F(VelBlobTest, MissingModeRowStampsTopLeft) {
    Row(1, 51, "0");
    CameraJpeg(Camera("m.jpg"), 800, 600);
    Read(1, Camera("m.jpg"));
    QImage pixels = Stored(1).Decode(640, 480);
    const QColor corner = pixels.pixelColor(4, 3);
    EXPECT_NEAR(corner.red(), 128, 24);
    EXPECT_NEAR(corner.blue(), 128, 24);
}

TEST_F(VelBlobTest, ArchiveCopiesGetUnderscoresAndACompressedCopy) {
    Mode("0");
    Row(1, 51, "0");
    fs::create_directory(Work("Fotos"));
    CameraJpeg(Work("Fotos/IMG_0001.jpg"), 100, 80);
    CameraJpeg(Work("Fotos/_IMG_0001.jpg"), 100, 80);
    CameraJpeg(Camera("IMG_0001.jpg"), 300, 200);
    Read(1, Camera("IMG_0001.jpg"));
    EXPECT_TRUE(fs::exists(Work("Fotos/__IMG_0001.jpg")));
    EXPECT_TRUE(fs::exists(Work("Fotos/C___IMG_0001.jpg")));
    EXPECT_EQ(fs::file_size(Work("Fotos/__IMG_0001.jpg")), fs::file_size(Camera("IMG_0001.jpg")));
    EXPECT_EQ(blob_.FileName, Work("Fotos/__IMG_0001.jpg"));
}

TEST_F(VelBlobTest, APictureThatIsNoJpegIsRefused) {
    Row(1, 51, "0");
    QImage image(40, 30, QImage::Format_RGB888);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString(Camera("p.bmp")), "BMP"));
    Read(1, Camera("p.bmp"));
    ASSERT_EQ(view_.Boxes.size(), 1u);
    EXPECT_EQ(view_.Boxes[0].Kind, TMsgKind::Error);
    EXPECT_EQ(view_.Boxes[0].Text, "Es können nur Fotos im JPEG-Format verarbeitet werden!");
    EXPECT_EQ(Status(1), "0");
    EXPECT_EQ(db_.CountRows("MBlob", "FeldBlob is null"), 1);
}

TEST_F(VelBlobTest, DeleteAndResendAskFirst) {
    Row(1, 51, "3");
    ASSERT_TRUE(db_.Select(schema::MBlobColumns, "MBlob", "Id=1", "", blob_.Rows));
    MoveToRow(blob_.Rows, 1);
    view_.Answers = {false, true, false, true};
    blob_.ResendPhoto();
    EXPECT_EQ(Status(1), "3");
    blob_.ResendPhoto();
    EXPECT_EQ(Status(1), "2");
    blob_.DeletePhoto();
    EXPECT_EQ(Status(1), "2");
    blob_.DeletePhoto();
    EXPECT_EQ(Status(1), "0");
    EXPECT_EQ(view_.Boxes[0].Text, "Soll dieses Foto nochmals übertragen werden?");
    EXPECT_EQ(view_.Boxes[2].Text, "Wollen Sie dieses Foto wirklich aus der Datenbank löschen? "
                                   "(Sie können anschließend ein anderes Foto zuordnen.)");
}

class SendPhotosTest : public VelBlobTest {
protected:
    // A mail transport in file mode writing into root/server.
    void FileMode(const std::string& outPattern) {
        TMemoryStream settings;
        TCryptObject().EncryptLines({"1=7", "4=" + Work(""), "14=localhost", "28=" + outPattern},
                                    settings);
        mail_.LoadSettings(settings);
        blob_.Mail = &mail_;
    }
    TVelMail mail_;
};

TEST_F(SendPhotosTest, NothingWaitingSendsNothing) {
    Row(1, 51, "0");
    Row(2, 51, "3");
    FileMode((root_ / "server%s.md_").string());
    EXPECT_TRUE(blob_.SendPhotos());
    EXPECT_FALSE(fs::exists(Work("MBlobexport.mdb")));
    EXPECT_FALSE(fs::exists(root_ / "server1.md_"));
}

TEST_F(SendPhotosTest, WaitingRowsGoOutOneFileEachAndBecomeSent) {
    Mode("0");
    for (int id : {1, 2, 3}) {
        Row(id, 51, "0");
        CameraJpeg(Camera("w.jpg"), 200, 100);
        if (id != 2) {
            Read(id, Camera("w.jpg"));
        }
    }
    db_.Update("MBlob", "Status='2'", "Id=3");
    FileMode((root_ / "server%s.md_").string());
    EXPECT_TRUE(blob_.SendPhotos());
    EXPECT_TRUE(fs::exists(root_ / "server1.md_"));
    EXPECT_TRUE(fs::exists(root_ / "server2.md_"));
    EXPECT_FALSE(fs::exists(root_ / "server3.md_"));
    EXPECT_EQ(Status(1), "3");
    EXPECT_EQ(Status(2), "0");
    EXPECT_EQ(Status(3), "3");
    EXPECT_FALSE(fs::exists(Work("MBlobexport.mdb")));
    EXPECT_EQ(view_.Text["Label1"], "Foto/Dokument 2 von 2 wird übertragen...");
}

TEST_F(SendPhotosTest, AFailedSendKeepsTheLetterAndWarns) {
    Mode("0");
    Row(1, 51, "0");
    CameraJpeg(Camera("f.jpg"), 200, 100);
    Read(1, Camera("f.jpg"));
    FileMode((root_ / "missing-folder" / "out%s.md_").string());
    blob_.SendPhotos();
    EXPECT_EQ(Status(1), "1");
    ASSERT_EQ(view_.Boxes.size(), 1u);
    EXPECT_EQ(view_.Boxes[0].Kind, TMsgKind::Warning);
    EXPECT_EQ(view_.Boxes[0].Text.rfind("Fehlermeldung beim Versenden der Foto-Daten: ", 0), 0u);
}

// The assignment dialog's logic on its components, as the dialog binds it.
class AssignmentTest : public VelBlobTest {
protected:
    void SetUp() override {
        VelBlobTest::SetUp();
        blob_.Mode = 90;
        blob_.StatusLabel = "Label103";
        Sys(8, blob_.PhotoDir);
    }
    // Sets a file's last-write time to a local "dd.mm.yyyy hh:nn" time.
    static void Touch(const std::string& file, int hour, int minute) {
        std::tm local{};
        local.tm_mday = 5;
        local.tm_mon = 11;
        local.tm_year = 126;
        local.tm_hour = hour;
        local.tm_min = minute;
        local.tm_isdst = -1;
        const utimbuf times{std::mktime(&local), std::mktime(&local)};
        ASSERT_EQ(utime(file.c_str(), &times), 0);
    }
    static void WriteFile(const std::string& file, const std::string& bytes) {
        TMemoryStream stream;
        stream.WriteString(bytes);
        stream.SaveToFile(file);
    }
    bool Shown(const char* component) { return view_.Visible[component]; }
    bool Usable(const char* component) { return view_.Enabled[component]; }
    std::string PanelCaption() { return view_.Text["APanel"]; }
};

TEST_F(AssignmentTest, AnEmptyTableOffersNothing) {
    blob_.Open();
    EXPECT_TRUE(view_.Boxes.empty());
    EXPECT_FALSE(Usable("PrevBtn"));
    EXPECT_FALSE(Usable("NextBtn"));
    EXPECT_TRUE(Shown("YesBtn"));
    EXPECT_FALSE(Usable("YesBtn"));
    EXPECT_FALSE(Shown("Button321"));
    EXPECT_FALSE(Shown("Button322"));
    EXPECT_FALSE(Shown("NoBtn"));
    EXPECT_EQ(view_.Picture["Preview"], "");
}

TEST_F(AssignmentTest, CameraFileNamesFromTheValueAndThePrefix) {
    struct TCase {
        const char* Value;
        const char* Prefix; // nullptr: no SysData row 9
        const char* Expected;
    } cases[] = {
        {R"(\Storage Card\DCIM\IMG_0815.jpg)", "DSC", "IMG_0815.jpg"},
        {"IMG_0815.jpg", nullptr, "IMG_0815.jpg"},
        {"815", "DSC", "DSC00815.jpg"},
        {"815", "DSCF", "DSCF0815.jpg"},
        {"815", "IMG_12345", "IMG_12345.jpg"},
        {"123456789", "P", "P3456789.jpg"},
        {"815", nullptr, "00000815.jpg"},
        {"815", "****", "DSCN0815.jpg"},
        {"IMG_0001.JPG", "DSC", "DSC1.JPG.jpg"},
    };
    CameraJpeg(Camera("DSCN0001.jpg"), 64, 48);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Value + std::string(" / ") + (c.Prefix ? c.Prefix : "none"));
        db_.ExecSQL("DELETE FROM MBlob");
        db_.ExecSQL("DELETE FROM SysData WHERE Id=9");
        if (c.Prefix != nullptr) {
            Sys(9, c.Prefix);
        }
        Insert(1, 51, c.Value, "05.12.2026 10:00", "0");
        blob_.FileName.clear();
        blob_.Open();
        EXPECT_EQ(blob_.FileName, Camera(c.Expected));
    }
}

TEST_F(AssignmentTest, StarsWithoutAnyCameraFileStay) {
    Sys(9, "**");
    Insert(1, 51, "815", "05.12.2026 10:00", "0");
    blob_.Open();
    EXPECT_EQ(blob_.FileName, Camera("**000815.jpg"));
    EXPECT_EQ(PanelCaption(), "Fehler Dateianzeige: " + Camera("**000815.jpg") + "!");
    EXPECT_FALSE(Usable("YesBtn"));
    EXPECT_EQ(view_.Size["APanel"], std::make_pair(390, 290));
    EXPECT_EQ(view_.Hint["Preview"], "");
    EXPECT_TRUE(Shown("Button322")); // a file can still be picked
}

TEST_F(AssignmentTest, WithoutAFolderRowTheCardDriveIsAssumed) {
    db_.ExecSQL("DELETE FROM SysData");
    Sys(9, "DSC");
    Insert(1, 51, "815", "05.12.2026 10:00", "0");
    blob_.Open();
    EXPECT_EQ(blob_.FileName, R"(E:\DCIM\DSC00815.jpg)");
}

TEST_F(AssignmentTest, NamesDifferingOnlyInCaseFindTheCameraFile) {
    CameraJpeg(Camera("IMG_0815.JPG"), 64, 48);
    Insert(1, 51, R"(\Storage Card\DCIM\IMG_0815.jpg)", "05.12.2026 10:00", "0");
    blob_.Open();
    EXPECT_EQ(blob_.FileName, Camera("IMG_0815.JPG"));
    EXPECT_EQ(view_.Picture["Preview"], Camera("IMG_0815.JPG"));
    EXPECT_EQ(PanelCaption(), "");
    EXPECT_TRUE(Usable("YesBtn"));
}

TEST_F(AssignmentTest, TimesMoreThanAnHourApartTurnRed) {
    struct TCase {
        int Hour, Minute;
        TColor Expected;
    } cases[] = {{11, 1, {255, 0, 0}}, {10, 30, {0, 128, 0}}, {8, 59, {255, 0, 0}}};
    Insert(1, 51, "IMG_0815.jpg", "05.12.2026 10:00", "0");
    CameraJpeg(Camera("IMG_0815.jpg"), 64, 48);
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Hour) + ":" + std::to_string(c.Minute));
        Touch(Camera("IMG_0815.jpg"), c.Hour, c.Minute);
        blob_.Open();
        EXPECT_EQ(view_.Text["Label105"], "05.12.2026 10:00");
        char expected[32];
        std::snprintf(expected, sizeof expected, "05.12.2026 %02d:%02d", c.Hour, c.Minute);
        EXPECT_EQ(view_.Text["Label106"], expected);
        EXPECT_EQ(view_.FontColor["Label105"], c.Expected);
        EXPECT_EQ(view_.FontColor["Label106"], c.Expected);
    }
}

TEST_F(AssignmentTest, PreviewSizeAndZoomSteps) {
    Insert(1, 51, "IMG_0815.jpg", "05.12.2026 10:00", "0");
    CameraJpeg(Camera("IMG_0815.jpg"), 1600, 1200);
    blob_.Open();
    EXPECT_EQ(view_.Size["APanel"], std::make_pair(390, 293));
    EXPECT_EQ(view_.Hint["Preview"], "Bildgröße: 1600 x 1200");
    blob_.PreviewClick();
    EXPECT_EQ(view_.Size["APanel"], std::make_pair(468, 351));
    const float steps[] = {1.44f, 1.728f, 2.0736f, 2.48832f, 2.985984f, 3.5831808f, 1.0f};
    for (float step : steps) {
        blob_.PreviewClick();
        EXPECT_NEAR(blob_.Zoom, step, 1e-5);
    }
    EXPECT_EQ(view_.Size["APanel"], std::make_pair(390, 293));
}

TEST_F(AssignmentTest, JobAndKindOfPhoto) {
    ASSERT_TRUE(db_.ExecSQL("INSERT INTO MAuftrag(AuftragId,Project,MobilApp,AuftragBez,Status) "
                            "VALUES(1000,1,1,'Heizung Müller','1')"));
    ASSERT_TRUE(db_.ExecSQL("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) "
                            "VALUES(1,1006,'52','Typenschild',1)"));
    Insert(1, 52, "1", "05.12.2026 10:00", "0");
    ASSERT_TRUE(db_.ExecSQL("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,"
                            "Status) VALUES(2,2000,57,'2','05.12.2026 10:00',1,'0')"));
    blob_.Open();
    EXPECT_EQ(view_.Text["Label103"], "Heizung Müller");
    EXPECT_EQ(view_.Text["Label107"], "Typenschild");
    EXPECT_EQ(view_.FontColor["Label107"], (TColor{255, 0, 0}));
    EXPECT_TRUE(Shown("Label104"));
    blob_.ButtonClick(305);
    EXPECT_EQ(view_.Text["Label103"], "(Der Auftrag wurde bereits abgeschlossen.)");
    EXPECT_EQ(view_.Text["Label107"], "");
    EXPECT_EQ(view_.FontColor["Label107"], (TColor{255, 64, 64}));
}

TEST_F(AssignmentTest, ReadInDeleteReadAgainAndResend) {
    Mode("0");
    Insert(1, 51, "IMG_0815.jpg", "05.12.2026 10:00", "0");
    CameraJpeg(Camera("IMG_0815.jpg"), 800, 600);
    blob_.Open();
    ASSERT_TRUE(Shown("YesBtn"));
    blob_.ButtonClick(306);
    EXPECT_EQ(Status(1), "1");
    EXPECT_FALSE(Usable("NextBtn")); // past the only row
    blob_.ButtonClick(304);
    EXPECT_FALSE(Shown("YesBtn"));
    EXPECT_TRUE(Shown("NoBtn"));
    EXPECT_TRUE(Shown("Button321"));
    EXPECT_FALSE(Shown("Button322"));
    EXPECT_EQ(view_.Picture["Preview"], Work("~tmp.jpg"));
    EXPECT_FALSE(fs::exists(Work("~tmp.jpg"))); // shown, then removed
    EXPECT_EQ(view_.Hint["Preview"], "Bildgröße: 640 x 480");

    view_.Answers = {true};
    blob_.ButtonClick(307);
    EXPECT_EQ(Status(1), "0");
    EXPECT_TRUE(Shown("YesBtn"));
    EXPECT_TRUE(Usable("YesBtn"));
    blob_.ButtonClick(306); // without moving: the camera file again, into the same row
    EXPECT_EQ(Status(1), "1");
    EXPECT_EQ(Stored(1).Width, 640);
    EXPECT_EQ(view_.Boxes.size(), 1u) << view_.BoxTexts(); // the one confirmation

    ASSERT_TRUE(db_.Update("MBlob", "Status='3'", "Id=1"));
    blob_.Open();
    EXPECT_TRUE(Shown("RetryBtn"));
    EXPECT_FALSE(Shown("NoBtn"));
    view_.Answers = {true};
    blob_.ButtonClick(309);
    EXPECT_EQ(Status(1), "2");
    EXPECT_EQ(CurrentRow(blob_.Rows), 1); // back on the row, now read afresh
    EXPECT_FALSE(Shown("RetryBtn"));
    EXPECT_TRUE(Shown("NoBtn"));
}

TEST_F(AssignmentTest, NextPositionFindsTheNextRowWithoutAPhoto) {
    Mode("0");
    CameraJpeg(Camera("p.jpg"), 64, 48);
    for (int id = 1; id <= 4; ++id) {
        Row(id, 51, "0");
    }
    for (int id : {1, 2, 4}) {
        Read(id, Camera("p.jpg"));
    }
    blob_.Open();
    blob_.ButtonClick(321);
    EXPECT_EQ(CurrentRow(blob_.Rows), 3);
    EXPECT_TRUE(Shown("Button322"));
    blob_.ButtonClick(321);
    EXPECT_TRUE(IsEOF(blob_.Rows));
    EXPECT_FALSE(Usable("NextBtn"));
}

TEST_F(AssignmentTest, APickedFileIsShownAndReadIn) {
    Mode("0");
    Insert(1, 51, "IMG_0815.jpg", "05.12.2026 10:00", "0");
    WriteFile(Camera("IMG_0815.jpg"), "no picture");
    blob_.Open();
    EXPECT_EQ(PanelCaption(), "Fehler Dateianzeige: " + Camera("IMG_0815.jpg") + "!");
    EXPECT_FALSE(Usable("YesBtn"));
    CameraJpeg(Work("chosen.jpg"), 300, 400);
    view_.Pictures = {Work("chosen.jpg")};
    blob_.ButtonClick(322);
    EXPECT_EQ(blob_.FileName, Work("chosen.jpg"));
    EXPECT_EQ(PanelCaption(), "");
    EXPECT_EQ(view_.Size["APanel"], std::make_pair(218, 290)); // portrait: fitted to the height
    blob_.ButtonClick(306);
    EXPECT_EQ(Status(1), "1");
}

TEST_F(AssignmentTest, AnUnreadableTableLeavesOnlyClose) {
    ASSERT_TRUE(db_.ExecSQL("DROP TABLE MBlob"));
    blob_.Open();
    ASSERT_EQ(view_.Boxes.size(), 1u);
    EXPECT_EQ(view_.Boxes[0].Kind, TMsgKind::Error);
    EXPECT_EQ(view_.Boxes[0].Text.rfind("Fehlermeldung beim Öffnen der Foto-Daten: ", 0), 0u);
    for (const char* hidden :
         {"Label103", "Label104", "Label105", "Label106", "Label107", "PrevBtn", "NextBtn",
          "YesBtn", "NoBtn", "RetryBtn", "Button321", "Button322", "APanel"}) {
        EXPECT_FALSE(Shown(hidden)) << hidden;
    }
    EXPECT_EQ(view_.Visible.count("CloseBtn"), 0u);
}

TEST(ControlByIdTest, NumbersToComponents) {
    const std::pair<int, const char*> cases[] = {
        {103, "Label103"}, {107, "Label107"}, {321, "Button321"}, {322, "Button322"},
        {102, "APanel"},   {1001, "APanel"},  {0, "APanel"}};
    for (const auto& [id, name] : cases) {
        EXPECT_EQ(TVelBlob::ControlById(id), name) << id;
    }
}

} // namespace
} // namespace orvendal::testing
