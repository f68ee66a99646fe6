// The photo settings and photo assignment of the main window on a device's real "mobil.mdb":
// the logic through the scripted view, then both dialogs for real (offscreen), clicked through.

#include "AppFixture.h"
#include "QtFixture.h"

#include "app/MainWindow.h"
#include "app/RadioGroup.h"
#include "app/VelQuonda2.h"
#include "app/VelQuonda3.h"
#include "common/MobilDb.h"
#include "photo/CameraJpeg.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>

namespace orvendal::testing {
namespace {

// Device 101 whose working folder holds a "mobil.mdb" with the four tables the dialogs read.
class PhotoDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application();
        std::filesystem::create_directories(Work(""));
        std::filesystem::create_directories(folder.Path() + "dcim");
        WriteSettings(folder.Path() + "a.ini",
                      DeviceLines("PPC-A", "Kundendienst Nord", "101", {"4=" + Work("")}));
        CreateMobil(db, Work("mobil.mdb"));
        // Reihe runs against the Ids
        Exec("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES"
             "(10,1005,'0','kein Stempel',1),(9,1005,'1','oben links',2),"
             "(8,1005,'2','oben rechts',3),(7,1005,'3','unten links',4),"
             "(6,1005,'4','unten rechts',5)");
        Exec("INSERT INTO SysData(Id,SysValue) VALUES(8,'/media/karte/DCIM/'),(9,'DSC'),(10,'x')");
    }
    std::string Work(const std::string& name) const { return folder.Path() + "work/" + name; }
    void Exec(const std::string& sql) { ASSERT_TRUE(db.ExecSQL(sql)) << db.LastError << sql; }
    std::string SysValues() {
        TRecordSet rs;
        db.Select("group_concat(SysValue || '|', '')", "(SELECT SysValue FROM SysData ORDER BY Id)",
                  "", "", rs);
        return FieldText(rs, 1, 1);
    }
    TProgramFolder folder;
    TSQLADOServer db;
};

// Shown values; Abbruch writes nothing; OK writes each value on its own (a quote in the folder
// fails with the database's message); missing rows are not created and the last texts stay;
// without the database neither dialog opens.
TEST_F(PhotoDialogsTest, SettingsShowTheValuesAndWriteThemOnOk) {
    TFormUnderTest t(folder);
    t.Form.FormCreate();
    t.Form.SpeedButton1Click();
    ASSERT_TRUE(t.View.PhotoSettingsShown);
    EXPECT_EQ(t.View.PhotoSettingsShown->Modes.at(4), "&4: unten rechts");
    EXPECT_EQ(t.View.PhotoSettingsShown->Folder + t.View.PhotoSettingsShown->Prefix,
              "/media/karte/DCIM/DSC");
    EXPECT_EQ(t.View.PhotoSettingsShown->ModeIndex, 0); // "x" is no number
    EXPECT_EQ(SysValues(), "/media/karte/DCIM/|DSC|x|");
    t.View.PhotoSettingsAnswer = TPhotoSettingsForm{"/media/o'neil/", "IMG_", {}, 3};
    t.Form.SpeedButton1Click();
    ASSERT_EQ(t.View.Boxes.size(), 1u);
    EXPECT_EQ(t.View.Boxes[0].Kind, TMsgKind::Error);
    EXPECT_NE(t.View.Boxes[0].Text.find("syntax error"), std::string::npos) << t.View.Boxes[0].Text;
    EXPECT_EQ(SysValues(), "/media/karte/DCIM/|IMG_|3|");
    Exec("DELETE FROM SysData");
    t.View.PhotoSettingsAnswer = TPhotoSettingsForm{"/anders/", "P", {}, -1};
    t.Form.SpeedButton1Click();
    EXPECT_EQ(t.View.PhotoSettingsShown->Folder, "/media/o'neil/");
    EXPECT_EQ(t.View.PhotoSettingsShown->ModeIndex, -1);
    EXPECT_EQ(SysValues(), "");
    db.Disconnect(); // without a database neither dialog opens
    std::filesystem::remove(Work("mobil.mdb"));
    t.View.PhotoSettingsShown.reset();
    t.View.Boxes.clear();
    t.View.OnPhotoAssignment = [](TSQLADOServer&, const std::string&) { FAIL() << "opened"; };
    t.Form.SpeedButton1Click();
    t.Form.BitBtn2Click();
    ASSERT_EQ(t.View.Boxes.size(), 2u);
    for (const auto& box : t.View.Boxes) {
        EXPECT_EQ(box.Kind, TMsgKind::Error);
        EXPECT_NE(box.Text.find("mobil.mdb"), std::string::npos) << box.Text;
    }
    EXPECT_FALSE(t.View.PhotoSettingsShown);
}

// A failed opening hides all but Schließen; once the table is back the next opening shows a
// camera picture of 8000 × 6000 pixels (beyond Qt's allocation limit at full size), read in.
// Then the settings dialog, clicked through.
TEST_F(PhotoDialogsTest, TheAssignmentDialogAfterAFailedOpeningThenTheSettingsDialogForReal) {
    Exec("UPDATE SysData SET SysValue='" + folder.Path() + "dcim/' WHERE Id=8");
    Exec("INSERT INTO MAuftrag(AuftragId,Project,MobilApp,AuftragBez,Status) "
         "VALUES(4711,1,1,'Wartung Therme Schulz','1')");
    Exec("INSERT INTO MValues(Id,Class,MValue,Bezeichnung,Reihe) VALUES(20,1006,'51','Typ',1)");
    Exec("INSERT INTO MBlob(Id,AuftragId,FeldId,FeldValue,Created,Creator,Status) "
         "VALUES(1,4711,51,'\\Storage Card\\DCIM\\IMG_0815.jpg','05.12.2026 10:00',1,'0')");
    CameraJpeg(folder.Path() + "dcim/IMG_0815.JPG", 8000, 6000,
               [](int x, int y) { return QColor(x / 40, y / 30, 160); });
    Exec("ALTER TABLE MBlob RENAME TO Weg");
    TMainWindow window(folder.ProgramFile());
    window.show();
    QString error;
    TDialogAnswer<QMessageBox> box([&](QMessageBox& shown) {
        error = shown.text();
        shown.accept();
    });
    TDialogAnswer<TForm2> failed([](TForm2& dialog) {
        EXPECT_FALSE(dialog.findChild<QWidget*>("APanel")->isVisible());
        EXPECT_FALSE(dialog.findChild<QWidget*>("NextBtn")->isVisible());
        dialog.findChild<QPushButton*>("CloseBtn")->click();
    });
    QTest::mouseClick(window.findChild<QAbstractButton*>("BitBtn2"), Qt::LeftButton);
    ASSERT_TRUE(failed.Answered() && box.Answered());
    EXPECT_TRUE(error.startsWith("Fehlermeldung beim Öffnen der Foto-Daten: "))
        << error.toStdString();
    Exec("ALTER TABLE Weg RENAME TO MBlob");
    TDialogAnswer<TForm2> answer([&](TForm2& dialog) {
        EXPECT_EQ(dialog.size(), QSize(592, 373));
        EXPECT_FALSE(dialog.windowIcon().isNull());
        auto* time = dialog.findChild<QLabel*>("Label104");
        EXPECT_LE(time->sizeHint().width(), time->width());
        EXPECT_LE(time->geometry().right(), dialog.width() - 8); // off the border
        auto* panel = dialog.findChild<QLabel*>("APanel");
        auto* preview = dialog.findChild<QLabel*>("Preview");
        EXPECT_TRUE(panel->isVisible() && dialog.findChild<QWidget*>("NextBtn")->isVisible());
        auto fills = [preview] { // read at the preview's size, aspect kept
            const QSize gap = preview->size() - preview->pixmap().size();
            return gap.width() >= 0 && gap.height() >= 0 && gap.width() + gap.height() <= 3;
        };
        EXPECT_EQ(panel->size(), QSize(390, 292));
        EXPECT_EQ(panel->text(), "");
        EXPECT_TRUE(fills());
        EXPECT_EQ(preview->toolTip(), "Bildgröße: 8000 x 6000");
        Screenshot(dialog, "photo-assignment.png");
        QTest::mouseClick(preview, Qt::LeftButton);
        EXPECT_EQ(panel->size(), QSize(468, 350));
        EXPECT_TRUE(fills());
        auto* yes = dialog.findChild<QPushButton*>("YesBtn");
        EXPECT_TRUE(yes->isVisible() && yes->isEnabled());
        QTest::mouseClick(yes, Qt::LeftButton);
        QTest::mouseClick(dialog.findChild<QPushButton*>("PrevBtn"), Qt::LeftButton);
        EXPECT_TRUE(dialog.findChild<QPushButton*>("NoBtn")->isVisible() && !yes->isVisible());
        QTest::mouseClick(dialog.findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
        EXPECT_EQ(dialog.Blob(), nullptr); // one showing, one logic object
    });
    QTest::mouseClick(window.findChild<QAbstractButton*>("BitBtn2"), Qt::LeftButton);
    ASSERT_TRUE(answer.Answered());
    EXPECT_EQ(db.CountRows("MBlob", "Id=1 and Status='1' and FeldBlob is not null"), 1);
    EXPECT_TRUE(std::filesystem::exists(Work("Fotos/IMG_0815.JPG")));
    Exec("UPDATE SysData SET SysValue='2' WHERE Id=10");
    TDialogAnswer<TForm3> settings([&](TForm3& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Zuordnung von Fotos");
        EXPECT_EQ(dialog.size(), QSize(512, 269));
        EXPECT_FALSE(dialog.windowIcon().isNull());
        EXPECT_EQ(dialog.findChild<QLineEdit*>("Edit1")->text().toStdString(),
                  folder.Path() + "dcim/");
        auto* group = dialog.findChild<TRadioGroup*>("RadioGroup1");
        EXPECT_EQ(group->title(), " Modus für Zeitstempel ");
        EXPECT_EQ(group->ItemIndex(), 2);
        EXPECT_EQ(dialog.findChild<QLabel*>("Label104")->buddy(),
                  dialog.findChild<QLineEdit*>("Edit1"));
        Screenshot(dialog, "photo-settings.png");
        dialog.findChild<QLineEdit*>("Edit2")->setText("IMG_");
        QTest::mouseClick(group->findChildren<QRadioButton*>().at(4), Qt::LeftButton);
        QTest::mouseClick(dialog.findChild<QPushButton*>("OkBtn"), Qt::LeftButton);
    });
    QTest::mouseClick(window.findChild<QAbstractButton*>("SpeedButton1"), Qt::LeftButton);
    EXPECT_TRUE(settings.Answered());
    EXPECT_EQ(SysValues(), folder.Path() + "dcim/|IMG_|4|");
}

} // namespace
} // namespace orvendal::testing
