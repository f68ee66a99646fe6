// The real main window, offscreen: components, places, texts, states, tab order, readable long
// texts, and the boxes it opens (answered by a timer while they run modally).

#include "AppFixture.h"
#include "QtFixture.h"

#include "app/MainWindow.h"
#include "app/RadioGroup.h"
#include "tables/UserFkt.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

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
    void Device(const std::string& file, const std::string& name, const std::string& number,
                const std::vector<std::string>& extra = {}) {
        WriteSettings(folder.Path() + file, DeviceLines("PPC-" + number, name, number, extra));
    }
    TProgramFolder folder;
};

// Qt's standard buttons speak German; the proxy box keeps its preset on Abbrechen. While an
// operation shows a box the window stays locked with the normal cursor; afterwards it is
// unlocked and Schließen closes it.
TEST_F(MainWindowTest, ComponentsPlacesTextsTabOrderAndBoxesThatSpeakGermanAndLock) {
    Device("a.ini", "Gerät A", "1", {"17=proxy.intern", "18=8080"});
    Device("b.ini", "Gerät B", "2");
    TMainWindow window(folder.ProgramFile());
    window.show();
    EXPECT_EQ(window.size(), QSize(692, 366));
    EXPECT_FALSE(window.windowIcon().isNull());
    const char* about = "Orvendal Version 1.0.0\nCopyright (C) 2026 Orvendal-Entwickler";
    const std::tuple<const char*, QRect, const char*> cases[] = {
        {"RadioGroup1", {24, 10, 489, 80}, "  Geräte  "}, // 2 × 30 + 20 high
        {"BitBtn2", {530, 23, 121, 30}, "Zuordnung &Fotos"},
        {"SpeedButton1", {658, 25, 26, 26}, ""},
        {"BitBtn1", {530, 63, 121, 30}, "&Datenaustausch"},
        {"SpeedButton2", {658, 67, 26, 26}, ""},
        {"BitBtn3", {530, 107, 121, 30}, "Support&versand"},
        {"BitBtn4", {530, 155, 121, 30}, "&Update Handbuch"},
        {"CloseBtn", {530, 240, 121, 30}, "&Schließen"},
        {"Label1", {24, 296, 649, 13}, ""},
        {"Label2", {24, 330, 649, 30}, about}};
    std::map<std::string, QString> hints = {
        {"BitBtn2", "Zuordnung von Fotos für das ausgewählte Gerät durchführen oder ändern"},
        {"SpeedButton1", "Einstellungen zur Foto-Zuordnung für das ausgewählte Gerät bearbeiten"},
        {"BitBtn1", "Datenaustausch für das ausgewählte Gerät starten"},
        {"SpeedButton2", "optionale Einstellung Proxy-Server "},
        {"BitBtn3", "Versand der PPC-Datenbank an Support"},
        {"BitBtn4", "Update des Einstellhandbuches für Gasgeräte auf dem Pocket-PC"}};
    for (const auto& [name, place, text] : cases) {
        QWidget& widget = Find(window, name);
        EXPECT_EQ(widget.geometry(), place) << name;
        EXPECT_EQ(widget.toolTip(), hints[name]) << name;
        EXPECT_EQ(widget.isVisibleTo(&window), name != std::string("BitBtn4")) << name;
        auto* button = qobject_cast<QAbstractButton*>(&widget);
        auto* label = qobject_cast<QLabel*>(&widget);
        auto* group = qobject_cast<QGroupBox*>(&widget);
        EXPECT_EQ(button ? button->text() : label ? label->text() : group->title(), text) << name;
        EXPECT_TRUE(widget.isEnabled()) << name;
    }
    QWidget* focus = &Find(window, "RadioGroup1");
    int steps = 0;
    for (const char* name : {"BitBtn2", "BitBtn1", "CloseBtn", "BitBtn3", "BitBtn4"}) {
        while (focus->objectName() != name && ++steps < 60) {
            focus = focus->nextInFocusChain();
        }
        EXPECT_EQ(focus->objectName(), name) << "tab order";
    }
    EXPECT_EQ(Find(window, "SpeedButton1").focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(Find<QLabel>(window, "Label2").palette().color(QPalette::WindowText),
              QColor(0, 128, 128));
    EXPECT_EQ(Find<TRadioGroup>(window, "RadioGroup1").ItemIndex(), 0);
    TQtView view(window);
    QStringList buttons;
    TDialogAnswer<QMessageBox> confirm([&](QMessageBox& box) {
        for (auto* button : box.buttons()) {
            buttons << button->text();
        }
        box.button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(view.MessageBox(TMsgKind::Confirmation, "Weiter?"));
    EXPECT_EQ(buttons, (QStringList{"&Ja", "&Nein"}));
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
        Find<QAbstractButton>(window, "SpeedButton2").click();
        ASSERT_TRUE(answer.Answered());
        EXPECT_EQ(window.Form().CurrentProxy, "anderer:3128");
    }
    TDialogAnswer<QMessageBox> answer([&](QMessageBox& box) {
        EXPECT_EQ(box.text(), "Zwischenstand");
        EXPECT_EQ(box.icon(), QMessageBox::Information);
        EXPECT_FALSE(Find(window, "BitBtn1").isEnabled() || Find(window, "CloseBtn").isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        box.accept();
    });
    window.Form().RunOperation([&] {
        window.Form().OperationPreamble();
        window.Form().ShowInfo("Zwischenstand");
    });
    ASSERT_TRUE(answer.Answered());
    EXPECT_TRUE(Find(window, "BitBtn1").isEnabled() && Find(window, "CloseBtn").isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Find<QAbstractButton>(window, "CloseBtn").click();
    EXPECT_FALSE(window.isVisible());
}

// A long final status text and 25 long device names stay readable: shortened with "…", the whole
// text as tool tip. With ORVENDAL_SCREENSHOTS=DIR the window is saved there for the README.
TEST_F(MainWindowTest, LongTextsAreShortenedWithTheWholeTextAsToolTip) {
    for (int i = 1; i <= 25; ++i) {
        Device("d" + std::to_string(100 + i) + ".ini",
               "Kundendienst Außenstelle Nord-West " + std::to_string(i), std::to_string(i));
    }
    TMainWindow window(folder.ProgramFile());
    window.show();
    const std::string status = "Datenaustausch mit Gerät Kundendienst Außenstelle Nord-West 1 "
                               "(PPC-1) erfolgreich beendet: 1250 Datensätze exportiert, 980 "
                               "zurückgeführt, 12 Fotos übertragen";
    for (const std::string& text : {std::string("kurz"), status}) {
        window.Form().ShowProgress(text);
        auto& label = Find<QLabel>(window, "Label1");
        const bool shortened = text != "kurz";
        EXPECT_EQ(label.toolTip().toStdString(), shortened ? text : "");
        EXPECT_EQ(label.text().contains(QString::fromUtf8("…")), shortened);
        EXPECT_TRUE(label.text().startsWith("Datenaustausch") == shortened);
        EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()),
                  label.contentsRect().width());
    }
    auto& group = Find<TRadioGroup>(window, "RadioGroup1");
    for (auto* item : group.findChildren<QAbstractButton*>()) {
        EXPECT_TRUE(item->toolTip().startsWith("Kundendienst Außenstelle Nord-West "));
        EXPECT_TRUE(item->text().endsWith(QString::fromUtf8("…"))) << item->text().toStdString();
        EXPECT_LE(item->sizeHint().width(), item->width());
        EXPECT_LE(item->geometry().right(), group.contentsRect().right());
    }
    Screenshot(window, "main-window.png");
}

} // namespace
} // namespace orvendal::testing
