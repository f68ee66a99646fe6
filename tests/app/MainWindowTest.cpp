// The real main window and photo dialogs, offscreen: components, places, texts, states, tab order,
// readable long texts, and the boxes and dialogs it opens (answered by a timer while they run
// modally) on real program folders and a device's real "mobil.mdb".

#include "AppFixture.h"
#include "QtFixture.h"

#include "app/MainWindow.h"
#include "app/RadioGroup.h"
#include "app/VelQuonda2.h"
#include "app/VelQuonda3.h"
#include "photo/CameraJpeg.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace orvendal::testing {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { Application(); }
    template <typename W = QWidget> static W& Find(QWidget& window, const char* name) {
        W* widget = window.findChild<W*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    static void Click(QWidget& window, const char* name) {
        QTest::mouseClick(&Find(window, name), Qt::LeftButton);
    }
    TTempFolder folder;
};

// Qt's standard buttons speak German; the proxy box keeps its preset on Abbrechen. While an
// operation shows a box the window stays locked with the normal cursor; afterwards it is unlocked
// and Schließen closes it. A long status text and 25 long device names stay readable: shortened
// with "…", the whole text as tool tip. With ORVENDAL_SCREENSHOTS=DIR the window is saved there.
// Then device 1's "mobil.mdb": the assignment dialog shows a camera picture of 8000 × 6000 pixels
// (beyond Qt's allocation limit at full size), read in. Then the settings dialog shows the stored
// values and writes them on OK; rows that went missing are not made, and the dialog keeps the last
// texts.
TEST_F(MainWindowTest, ComponentsTextsTabOrderBoxesThatSpeakGermanAndLockAndThePhotoDialogs) {
    const std::string work = folder.File("work/"), camera = folder.File("dcim/");
    fs::create_directories(camera);
    fs::create_directories(work);
    for (int i = 1; i <= 25; ++i) {
        WriteDevice(folder.File("d" + std::to_string(100 + i) + ".ini"), std::to_string(i),
                    "Kundendienst Außenstelle Nord-West " + std::to_string(i),
                    i == 1 ? Lines{"4=" + work, "17=proxy.intern", "18=8080"} : Lines{});
    }
    TSQLADOServer db;
    PhotoDatabase(db, work + "mobil.mdb", camera);
    ASSERT_TRUE(db.ExecSQL("UPDATE SysData SET SysValue='1' WHERE Id=10"));
    CameraJpeg(camera + "IMG_0815.jpg", 8000, 6000,
               [](int x, int y) { return QColor(x / 40, y / 30, 160); });
    TMainWindow window(folder.File("orvendal"));
    window.show();
    EXPECT_EQ(window.size(), QSize(692, 366));
    EXPECT_FALSE(window.windowIcon().isNull());
    const char* about = "Orvendal Version 1.0.0\nCopyright (C) 2026 Orvendal-Entwickler";
    // name, place, text, tool tip
    const std::tuple<const char*, QRect, const char*, const char*> cases[] = {
        {"RadioGroup1", QRect(24, 10, 489, 260), "  Geräte  ", ""},
        {"BitBtn2", QRect(530, 23, 121, 30), "Zuordnung &Fotos",
         "Zuordnung von Fotos für das ausgewählte Gerät durchführen oder ändern"},
        {"SpeedButton1", QRect(658, 25, 26, 26), "",
         "Einstellungen zur Foto-Zuordnung für das ausgewählte Gerät bearbeiten"},
        {"BitBtn1", QRect(530, 63, 121, 30), "&Datenaustausch",
         "Datenaustausch für das ausgewählte Gerät starten"},
        {"SpeedButton2", QRect(658, 67, 26, 26), "", "optionale Einstellung Proxy-Server "},
        {"BitBtn3", QRect(530, 107, 121, 30), "Support&versand",
         "Versand der PPC-Datenbank an Support"},
        {"BitBtn4", QRect(530, 155, 121, 30), "&Update Handbuch",
         "Update des Einstellhandbuches für Gasgeräte auf dem Pocket-PC"},
        {"CloseBtn", QRect(530, 240, 121, 30), "&Schließen", ""},
        {"Label1", QRect(24, 296, 649, 13), "", ""},
        {"Label2", QRect(24, 330, 649, 30), about, ""}};
    for (const auto& [name, place, text, hint] : cases) {
        QWidget& widget = Find(window, name);
        EXPECT_EQ(widget.geometry(), place) << name;
        EXPECT_EQ(widget.toolTip(), hint) << name;
        EXPECT_EQ(widget.isVisibleTo(&window), name != std::string("BitBtn4")) << name;
        const char* property = qobject_cast<QGroupBox*>(&widget) ? "title" : "text";
        EXPECT_EQ(widget.property(property).toString(), text) << name;
        EXPECT_TRUE(widget.isEnabled()) << name;
    }
    QString buttons; // in tab order after the device list, once round the circular chain
    QWidget* devices = &Find(window, "RadioGroup1");
    for (QWidget* w = devices->nextInFocusChain(); w != devices; w = w->nextInFocusChain())
        buttons += w->objectName().contains("Btn") ? w->objectName() + " " : "";
    EXPECT_EQ(buttons, "BitBtn2 BitBtn1 CloseBtn BitBtn3 BitBtn4 ");
    EXPECT_EQ(Find(window, "SpeedButton1").focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(Find<QLabel>(window, "Label2").palette().color(QPalette::WindowText),
              QColor(0, 128, 128));
    auto& group = Find<TRadioGroup>(window, "RadioGroup1");
    EXPECT_EQ(group.ItemIndex(), 0);
    for (auto* item : group.findChildren<QAbstractButton*>()) {
        EXPECT_TRUE(item->toolTip().startsWith("Kundendienst Außenstelle Nord-West "));
        EXPECT_TRUE(item->text().endsWith(QString::fromUtf8("…"))) << item->text().toStdString();
        EXPECT_LE(item->sizeHint().width(), item->width());
        EXPECT_LE(item->geometry().right(), group.contentsRect().right());
    }
    auto& label = Find<QLabel>(window, "Label1");
    window.Form().ShowProgress("kurz");
    EXPECT_EQ(label.text() + "|" + label.toolTip(), "kurz|");
    const std::string status = "Datenaustausch mit Gerät Kundendienst Außenstelle Nord-West 1 "
                               "(PPC-1) erfolgreich beendet: 1250 Datensätze exportiert, 980 "
                               "zurückgeführt, 12 Fotos übertragen";
    window.Form().ShowProgress(status);
    EXPECT_EQ(label.toolTip().toStdString(), status);
    EXPECT_TRUE(label.text().startsWith("Datenaustausch") && label.text().contains("…") &&
                label.text().endsWith("übertragen")); // both ends stay readable
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), label.contentsRect().width());
    Screenshot(window, "main-window.png");
    for (const char* typed : {"anderer:3128", "verworfen:1"}) {
        TDialogAnswer<QInputDialog> answer([&](QInputDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Proxy für HTTP-Verbindung");
            EXPECT_EQ(dialog.labelText(), "Proxy-Server und Port (z.B. MyServer:80)");
            EXPECT_EQ(dialog.textValue(), typed[0] == 'a' ? "proxy.intern:8080" : "anderer:3128");
            auto* cancel = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
            EXPECT_EQ(cancel->text(), "Abbrechen");
            dialog.setTextValue(typed);
            typed[0] == 'a' ? dialog.accept() : cancel->click();
        });
        Click(window, "SpeedButton2");
        ASSERT_TRUE(answer.Answered);
        EXPECT_EQ(window.Form().CurrentProxy, "anderer:3128");
    }
    TDialogAnswer<QMessageBox> confirm([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle() + box.button(QMessageBox::Yes)->text() +
                      box.button(QMessageBox::No)->text(),
                  "Bestätigen&Ja&Nein");
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
        box.button(QMessageBox::No)->click();
    });
    window.Form().View.SetHourglass(true); // asked during an operation
    EXPECT_FALSE(window.Form().View.MessageBox(TMsgKind::Confirmation, "Weiter?"));
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    window.Form().View.SetHourglass(false);
    TDialogAnswer<QMessageBox> answer([&](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle() + ": " + box.text(), "Information: Zwischenstand");
        EXPECT_EQ(box.icon(), QMessageBox::Information);
        EXPECT_FALSE(Find(window, "BitBtn1").isEnabled() || Find(window, "CloseBtn").isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        box.accept();
    });
    window.Form().RunOperation([&] {
        window.Form().OperationPreamble();
        window.Form().ShowInfo("Zwischenstand");
    });
    ASSERT_TRUE(confirm.Answered && answer.Answered);
    EXPECT_TRUE(Find(window, "BitBtn1").isEnabled() && Find(window, "CloseBtn").isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    TDialogAnswer<TForm2> assignment([&](TForm2& dialog) {
        EXPECT_EQ(dialog.size(), QSize(592, 373)); // set up with the icon, as the window
        auto& time = Find<QLabel>(dialog, "Label104");
        EXPECT_LE(time.sizeHint().width(), time.width());
        EXPECT_LE(time.geometry().right(), dialog.width() - 8); // off the border
        auto& panel = Find<QLabel>(dialog, "APanel");
        auto& preview = Find<QLabel>(dialog, "Preview");
        auto fills = [&preview] { // read at the preview's size, aspect kept
            const QSize gap = preview.size() - preview.pixmap().size();
            return gap.width() >= 0 && gap.height() >= 0 && gap.width() + gap.height() <= 3;
        };
        EXPECT_EQ(panel.size(), QSize(390, 292));
        EXPECT_TRUE(fills());
        EXPECT_EQ(panel.text() + preview.toolTip(), "Bildgröße: 8000 x 6000"); // no error text
        Screenshot(dialog, "photo-assignment.png");
        QTest::mouseClick(&preview, Qt::LeftButton);
        EXPECT_EQ(panel.size(), QSize(468, 350));
        EXPECT_TRUE(fills());
        auto& yes = Find(dialog, "YesBtn");
        Click(dialog, "YesBtn"); // shown and enabled: the row gets its photo
        Click(dialog, "PrevBtn");
        EXPECT_TRUE(Find(dialog, "NoBtn").isVisible() && !yes.isVisible());
        Click(dialog, "CloseBtn");
        EXPECT_EQ(dialog.Blob(), nullptr); // one showing, one logic object
    });
    Click(window, "BitBtn2");
    ASSERT_TRUE(assignment.Answered);
    EXPECT_EQ(db.CountRows("MBlob", "Id=7 and Status='1' and FeldBlob is not null"), 1);
    EXPECT_TRUE(fs::exists(work + "Fotos/IMG_0815.jpg"));
    for (const bool rowsThere : {true, false}) {
        TDialogAnswer<TForm3> settings([&](TForm3& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Zuordnung von Fotos");
            EXPECT_EQ(dialog.size(), QSize(512, 269)); // set up with the icon, as the window
            EXPECT_EQ(Find<QLineEdit>(dialog, "Edit1").text().toStdString(), camera);
            EXPECT_EQ(Find<QLineEdit>(dialog, "Edit2").text(), rowsThere ? "IMG_" : "DSC");
            auto& group = Find<TRadioGroup>(dialog, "RadioGroup1");
            EXPECT_EQ(group.title(), " Modus für Zeitstempel ");
            EXPECT_EQ(group.ItemIndex(), rowsThere ? 1 : -1);
            EXPECT_EQ(Find<QLabel>(dialog, "Label104").buddy(), &Find(dialog, "Edit1"));
            Screenshot(dialog, "photo-settings.png");
            Find<QLineEdit>(dialog, "Edit2").setText("DSC");
            auto* ohne = group.findChildren<QRadioButton*>().at(0);
            QTest::mouseClick(ohne, Qt::LeftButton, {}, {8, ohne->height() / 2});
            Click(dialog, "OkBtn");
        });
        Click(window, "SpeedButton1");
        EXPECT_TRUE(settings.Answered);
        TRecordSet rs;
        db.Select("group_concat(SysValue, '|')", "(SELECT SysValue FROM SysData ORDER BY Id)", "",
                  "", rs);
        EXPECT_EQ(FieldText(rs, 1, 1), rowsThere ? camera + "|DSC|0" : "");
        ASSERT_TRUE(db.ExecSQL("DELETE FROM SysData"));
    }
    Click(window, "CloseBtn");
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace orvendal::testing
