// The photo settings and photo assignment of the main window on a device's real "mobil.mdb":
// the logic through the scripted view, then both dialogs for real (offscreen), clicked through.

#include "AppFixture.h"
#include "QtFixture.h"

#include "app/MainWindow.h"
#include "app/RadioGroup.h"
#include "app/VelQuonda2.h"
#include "app/VelQuonda3.h"
#include "common/MobilDb.h"
#include "db/SQLADO.h"
#include "photo/Jpeg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <utime.h>

namespace orvendal::testing {
namespace {

using Lines = std::vector<std::string>;

// Device 101 whose working folder holds a "mobil.mdb" with the four tables the dialogs read.
class PhotoDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application();
        std::filesystem::create_directories(Work(""));
        std::filesystem::create_directories(Camera(""));
        WriteSettings(folder.Path() + "a.ini",
                      DeviceLines("PPC-A", "Kundendienst Nord", "101", {"4=" + Work("")}));
        CreateMobil(db, Work("mobil.mdb"));
    }
    void TearDown() override { db.Disconnect(); }

    std::string Work(const std::string& name) const { return folder.Path() + "work/" + name; }
    std::string Camera(const std::string& name) const { return folder.Path() + "dcim/" + name; }
    void Exec(const std::string& sql) { ASSERT_TRUE(db.ExecSQL(sql)) << db.LastError << sql; }
    void Sys(int id, const std::string& value) {
        Exec("INSERT INTO SysData(Id,SysValue) VALUES(" + std::to_string(id) + ",'" + value + "')");
    }
    void Modes(int count) {
        const char* names[] = {"kein Stempel", "oben links", "oben rechts", "unten links",
                               "unten rechts"};
        for (int i = 0; i < count; ++i) {
            // Reihe runs against the Ids, so the order is Reihe's, not the table's.
            Exec("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(" +
                 std::to_string(10 - i) + ",1005,'" + std::to_string(i) + "','" + names[i] + "'," +
                 std::to_string(i + 1) + ")");
        }
    }
    std::string SysValue(int id) {
        TRecordSet rs;
        db.Select("SysValue", "SysData", "Id=" + std::to_string(id), "", rs);
        return FieldText(rs, 1, 1);
    }
    // A job with one photo row whose camera file (1600 x 1200) waits in the camera folder.
    void PhotoRow() {
        Sys(8, Camera(""));
        Exec("INSERT INTO MAuftrag(AuftragId,Project,MobilApp,AuftragBez,Status) "
             "VALUES(4711,1,1,'Wartung Therme Schulz','1')");
        Exec("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) "
             "VALUES(20,1006,'51','Typenschild',1)");
        Exec("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) "
             "VALUES(1,4711,51,'\\Storage Card\\DCIM\\IMG_0815.jpg','05.12.2026 10:00',1,'0')");
        QImage image(1600, 1200, QImage::Format_RGB888);
        for (int y = 0; y < 1200; ++y) {
            for (int x = 0; x < 1600; ++x) {
                image.setPixelColor(x, y, QColor(60 + x * 150 / 1600, 90 + y * 120 / 1200, 160));
            }
        }
        TMemoryStream jpeg;
        EncodeJpeg(image, 90, jpeg);
        jpeg.SaveToFile(Camera("IMG_0815.JPG"));
        std::tm shot{};
        shot.tm_mday = 5;
        shot.tm_mon = 11;
        shot.tm_year = 126;
        shot.tm_hour = 10;
        shot.tm_min = 12;
        shot.tm_isdst = -1;
        const utimbuf times{std::mktime(&shot), std::mktime(&shot)};
        ASSERT_EQ(utime(Camera("IMG_0815.JPG").c_str(), &times), 0);
    }
    // The started form over the scripted view, device 101 selected.
    TFormUnderTest& Started() {
        form = std::make_unique<TFormUnderTest>(folder);
        form->Form.FormCreate();
        return *form;
    }
    // With ORVENDAL_SCREENSHOTS=DIR the window is saved there as a picture.
    static void Screenshot(QWidget& window, const char* name) {
        if (const char* dir = std::getenv("ORVENDAL_SCREENSHOTS")) {
            EXPECT_TRUE(window.grab().save(QString::fromUtf8(dir) + "/" + name));
        }
    }

    TProgramFolder folder;
    TSQLADOServer db;
    std::unique_ptr<TFormUnderTest> form;
};

TEST_F(PhotoDialogsTest, SettingsShowTheValuesAndStoreTheChoiceOnOk) {
    Exec("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(1,1005,'0','A',1)");
    Exec("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(2,1005,'1','B',2)");
    Exec("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(3,1006,'51','C',0)");
    Sys(8, "/media/karte/DCIM/");
    Sys(9, "DSC");
    Sys(10, "0");
    TFormUnderTest& t = Started();
    TPhotoSettingsForm answer{"/media/karte/DCIM/", "DSCF", {}, 1};
    t.View.PhotoSettingsAnswer = answer;
    t.Form.SpeedButton1Click();

    ASSERT_TRUE(t.View.PhotoSettingsShown);
    EXPECT_EQ(t.View.PhotoSettingsShown->Modes, (Lines{"&0: A", "&1: B"}));
    EXPECT_EQ(t.View.PhotoSettingsShown->Folder, "/media/karte/DCIM/");
    EXPECT_EQ(t.View.PhotoSettingsShown->Prefix, "DSC");
    EXPECT_EQ(t.View.PhotoSettingsShown->ModeIndex, 0);
    EXPECT_TRUE(t.View.Boxes.empty()) << t.View.BoxTexts();
    EXPECT_EQ(SysValue(9), "DSCF");
    EXPECT_EQ(SysValue(10), "1");
}

TEST_F(PhotoDialogsTest, TheStoredModeChoosesItsItem) {
    const std::pair<const char*, int> cases[] = {{"3", 3}, {"x", 0}, {"4", 4}};
    Modes(5);
    Sys(10, "");
    TFormUnderTest& t = Started();
    for (const auto& [stored, index] : cases) {
        ASSERT_TRUE(db.Update("SysData", std::string("SysValue='") + stored + "'", "Id=10"));
        t.Form.SpeedButton1Click();
        ASSERT_TRUE(t.View.PhotoSettingsShown);
        EXPECT_EQ(t.View.PhotoSettingsShown->ModeIndex, index) << stored;
        EXPECT_EQ(t.View.PhotoSettingsShown->Modes.at(3), "&3: unten links");
    }
}

TEST_F(PhotoDialogsTest, AbortWritesNothing) {
    Modes(2);
    Sys(8, "/media/karte/DCIM/");
    Sys(10, "1");
    TFormUnderTest& t = Started();
    t.Form.SpeedButton1Click();
    EXPECT_TRUE(t.View.PhotoSettingsShown); // shown, then closed with Abbruch
    EXPECT_EQ(SysValue(8), "/media/karte/DCIM/");
    EXPECT_EQ(SysValue(10), "1");
    EXPECT_TRUE(t.View.Boxes.empty());
}

TEST_F(PhotoDialogsTest, AFolderWithAQuoteFailsWithTheDatabaseMessageAndTheRestIsStored) {
    Modes(2);
    Sys(8, "/media/karte/");
    Sys(9, "DSC");
    Sys(10, "0");
    TFormUnderTest& t = Started();
    t.View.PhotoSettingsAnswer = TPhotoSettingsForm{"/media/o'neil/", "IMG_", {}, 1};
    t.Form.SpeedButton1Click();
    ASSERT_EQ(t.View.Boxes.size(), 1u) << t.View.BoxTexts();
    EXPECT_EQ(t.View.Boxes[0].Kind, TMsgKind::Error);
    EXPECT_NE(t.View.Boxes[0].Text.find("syntax error"), std::string::npos) << t.View.Boxes[0].Text;
    EXPECT_EQ(SysValue(8), "/media/karte/");
    EXPECT_EQ(SysValue(9), "IMG_");
    EXPECT_EQ(SysValue(10), "1");
}

TEST_F(PhotoDialogsTest, MissingRowsAreNotCreatedAndTheLastTextsStay) {
    Sys(8, "/media/karte/");
    TFormUnderTest& t = Started();
    t.Form.SpeedButton1Click();
    Exec("DELETE FROM SysData");
    t.View.PhotoSettingsAnswer = TPhotoSettingsForm{"/anders/", "P", {}, -1};
    t.Form.SpeedButton1Click();
    EXPECT_EQ(t.View.PhotoSettingsShown->Folder, "/media/karte/");
    EXPECT_EQ(t.View.PhotoSettingsShown->ModeIndex, -1);
    EXPECT_EQ(db.CountRows("SysData", "0=0"), 0);
    EXPECT_TRUE(t.View.Boxes.empty()) << t.View.BoxTexts();
}

TEST_F(PhotoDialogsTest, WithoutADatabaseNeitherDialogOpens) {
    db.Disconnect();
    std::filesystem::remove(Work("mobil.mdb"));
    TFormUnderTest& t = Started();
    t.Form.SpeedButton1Click();
    t.Form.BitBtn2Click();
    ASSERT_EQ(t.View.Boxes.size(), 2u);
    for (const auto& box : t.View.Boxes) {
        EXPECT_EQ(box.Kind, TMsgKind::Error);
        EXPECT_NE(box.Text.find("mobil.mdb"), std::string::npos) << box.Text;
    }
    EXPECT_FALSE(t.View.PhotoSettingsShown);
    for (const std::string& call : t.View.Calls) {
        EXPECT_EQ(call.find("ShowPhotoAssignment"), std::string::npos);
    }
}

TEST_F(PhotoDialogsTest, TheAssignmentWorksInTheDevicesWorkingFolder) {
    PhotoRow();
    TFormUnderTest& t = Started();
    int rows = -1;
    t.View.OnPhotoAssignment = [&](TSQLADOServer& server, const std::string& workDir) {
        EXPECT_EQ(workDir, Work(""));
        rows = server.CountRows("MBlob", "0=0");
    };
    t.Form.BitBtn2Click();
    EXPECT_EQ(rows, 1);
    EXPECT_TRUE(t.View.Boxes.empty()) << t.View.BoxTexts();
}

TEST_F(PhotoDialogsTest, TheSettingsDialogForReal) {
    Modes(5);
    Sys(8, "/media/karte/DCIM/");
    Sys(9, "DSC");
    Sys(10, "2");
    TMainWindow window(folder.ProgramFile());
    window.show();
    TDialogAnswer<TForm3> answer([](TForm3& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Zuordnung von Fotos");
        EXPECT_EQ(dialog.size(), QSize(512, 269));
        EXPECT_EQ(dialog.findChild<QLineEdit*>("Edit1")->text(), "/media/karte/DCIM/");
        auto* group = dialog.findChild<TRadioGroup*>("RadioGroup1");
        EXPECT_EQ(group->title(), " Modus für Zeitstempel ");
        EXPECT_EQ(group->Count(), 5);
        EXPECT_EQ(group->ItemIndex(), 2);
        EXPECT_EQ(dialog.findChild<QLabel*>("Label104")->buddy(),
                  dialog.findChild<QLineEdit*>("Edit1"));
        Screenshot(dialog, "photo-settings.png");
        dialog.findChild<QLineEdit*>("Edit2")->setText("IMG_");
        auto radios = group->findChildren<QRadioButton*>();
        for (QRadioButton* radio : radios) {
            if (radio->text() == "&4: unten rechts") {
                QTest::mouseClick(radio, Qt::LeftButton);
            }
        }
        QTest::mouseClick(dialog.findChild<QPushButton*>("OkBtn"), Qt::LeftButton);
    });
    QTest::mouseClick(window.findChild<QAbstractButton*>("SpeedButton1"), Qt::LeftButton);
    EXPECT_TRUE(answer.Answered());
    EXPECT_EQ(SysValue(9), "IMG_");
    EXPECT_EQ(SysValue(10), "4");
}

TEST_F(PhotoDialogsTest, TheAssignmentDialogForReal) {
    PhotoRow();
    TMainWindow window(folder.ProgramFile());
    window.show();
    TForm2* shown = nullptr;
    TDialogAnswer<TForm2> answer([&](TForm2& dialog) {
        shown = &dialog;
        EXPECT_EQ(dialog.windowTitle(), "Zuordnung von Fotos");
        EXPECT_EQ(dialog.size(), QSize(592, 373));
        ASSERT_NE(dialog.Blob(), nullptr);
        EXPECT_EQ(dialog.Blob()->WorkDir, Work(""));
        EXPECT_EQ(dialog.findChild<QLabel*>("Label103")->text(), "Wartung Therme Schulz");
        EXPECT_EQ(dialog.findChild<QLabel*>("Label107")->text(), "Typenschild");
        EXPECT_EQ(dialog.findChild<QLabel*>("Label106")->text(), "05.12.2026 10:12");
        auto* panel = dialog.findChild<QLabel*>("APanel");
        auto* preview = dialog.findChild<QLabel*>("Preview");
        EXPECT_EQ(panel->size(), QSize(390, 293));
        EXPECT_FALSE(preview->pixmap().isNull());
        EXPECT_EQ(preview->toolTip(), "Bildgröße: 1600 x 1200");
        Screenshot(dialog, "photo-assignment.png");
        QTest::mouseClick(preview, Qt::LeftButton);
        EXPECT_EQ(panel->size(), QSize(468, 351));
        EXPECT_EQ(preview->size(), panel->contentsRect().size());
        QTest::mouseClick(preview, Qt::LeftButton);
        auto* yes = dialog.findChild<QPushButton*>("YesBtn");
        EXPECT_TRUE(yes->isVisible() && yes->isEnabled());
        QTest::mouseClick(yes, Qt::LeftButton);
        EXPECT_FALSE(dialog.findChild<QPushButton*>("NextBtn")->isEnabled());
        QTest::mouseClick(dialog.findChild<QPushButton*>("PrevBtn"), Qt::LeftButton);
        EXPECT_TRUE(dialog.findChild<QPushButton*>("NoBtn")->isVisible());
        EXPECT_FALSE(yes->isVisible());
        QTest::mouseClick(dialog.findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
    });
    QTest::mouseClick(window.findChild<QAbstractButton*>("BitBtn2"), Qt::LeftButton);
    ASSERT_TRUE(answer.Answered());
    EXPECT_EQ(shown->Blob(), nullptr); // one showing, one logic object
    EXPECT_EQ(db.CountRows("MBlob", "Id=1 and Status='1' and FeldBlob is not null"), 1);
    EXPECT_TRUE(std::filesystem::exists(Work("Fotos/IMG_0815.JPG")));
}

} // namespace
} // namespace orvendal::testing
