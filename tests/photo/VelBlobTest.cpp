#include "photo/VelBlob.h"
#include "common/ScriptedView.h"
#include "exchange/Schema.h"
#include "photo/Jpeg.h"
#include "protect/Crypt.h"
#include "transport/VelMail.h"

#include <QGuiApplication>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

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
        root_ = fs::temp_directory_path() /
                ("orvendal-photo-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "work");
        fs::create_directories(root_ / "camera");
        db_.SetServerType(Jet);
        db_.DataSource = Work("mobil.mdb");
        ASSERT_TRUE(db_.CreateDatabase() && db_.Connect()) << db_.LastError;
        for (const std::string* s : {&schema::CreateMBlob, &schema::CreateSysData}) {
            ASSERT_TRUE(db_.ExecSQL(*s)) << db_.LastError;
        }
        blob_.View = &view_;
        blob_.Server = &db_;
        blob_.WorkDir = Work("");
        blob_.PhotoDir = (root_ / "camera").string() + "/";
        blob_.StatusLabel = "Label1";
    }
    void TearDown() override {
        db_.Disconnect();
        fs::remove_all(root_);
    }
    std::string Work(const std::string& name) const {
        return (root_ / "work").string() + "/" + name;
    }
    std::string Camera(const std::string& name) const { return blob_.PhotoDir + name; }

    void Row(int id, int feldId, const std::string& status) {
        ASSERT_TRUE(db_.ExecSQL("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,"
                                "Status) VALUES(" +
                                std::to_string(id) + ",1000," + std::to_string(feldId) + ",'IMG_" +
                                std::to_string(id) + ".jpg','05.12.2026 10:00',1,'" + status +
                                "')"))
            << db_.LastError;
    }
    void Mode(const std::string& mode) {
        ASSERT_TRUE(db_.ExecSQL("INSERT INTO SysData(Id,SysValue) VALUES(10,'" + mode + "')"));
    }
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

    fs::path root_;
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

} // namespace
} // namespace orvendal::testing
