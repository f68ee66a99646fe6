// The real main window, offscreen: components, places, texts, states, tab order, and the
// dialogs that the buttons open (answered by a timer while they run modally).

#include "AppFixture.h"
#include "QtFixture.h"

#include "app/MainWindow.h"
#include "app/RadioGroup.h"
#include "tables/UserFkt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace orvendal::testing {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { Application(); }

    template <typename W = QWidget> W& Component(TMainWindow& window, const char* name) {
        W* widget = window.findChild<W*>(name);
        if (widget == nullptr) {
            throw std::runtime_error(std::string("no component ") + name);
        }
        return *widget;
    }

    TProgramFolder folder;
};

struct ComponentCase {
    const char* Name;
    QRect Place;
    const char* Text;
    const char* Hint;
    bool Visible;
};

TEST_F(MainWindowTest, ComponentsHaveTheirPlacesTextsAndHints) {
    WriteSettings(folder.Path() + "a.ini", DeviceLines("PPC-A", "Gerät A", "1"));
    WriteSettings(folder.Path() + "b.ini", DeviceLines("PPC-B", "Gerät B", "2"));
    TMainWindow window(folder.ProgramFile());

    EXPECT_EQ(window.size(), QSize(692, 366));
    EXPECT_EQ(window.windowTitle().toStdString(), "Orvendal für mobile Geräte - " + ComputerName());
    const std::vector<ComponentCase> cases = {
        {"RadioGroup1", {24, 10, 489, 80}, "  Geräte  ", "", true},
        {"BitBtn2",
         {530, 23, 121, 30},
         "Zuordnung &Fotos",
         "Zuordnung von Fotos für das ausgewählte Gerät durchführen oder ändern",
         true},
        {"SpeedButton1",
         {658, 25, 26, 26},
         "",
         "Einstellungen zur Foto-Zuordnung für das ausgewählte Gerät bearbeiten",
         true},
        {"BitBtn1",
         {530, 63, 121, 30},
         "&Datenaustausch",
         "Datenaustausch für das ausgewählte Gerät starten",
         true},
        {"SpeedButton2", {658, 67, 26, 26}, "", "optionale Einstellung Proxy-Server ", true},
        {"BitBtn3",
         {530, 107, 121, 30},
         "Support&versand",
         "Versand der PPC-Datenbank an Support",
         true},
        {"BitBtn4",
         {530, 155, 121, 30},
         "&Update Handbuch",
         "Update des Einstellhandbuches für Gasgeräte auf dem Pocket-PC",
         false},
        {"CloseBtn", {530, 240, 121, 30}, "&Schließen", "", true},
        {"Label1", {24, 296, 649, 13}, "", "", true},
        {"Label2",
         {24, 330, 649, 30},
         "Orvendal Version 1.0.0\nCopyright (C) 2026 Orvendal-Entwickler",
         "",
         true},
    };
    for (const ComponentCase& c : cases) {
        QWidget& widget = Component(window, c.Name);
        EXPECT_EQ(widget.geometry(), c.Place) << c.Name; // the group is 2 × 30 + 20 high
        EXPECT_EQ(widget.toolTip().toStdString(), c.Hint) << c.Name;
        EXPECT_EQ(widget.isVisibleTo(&window), c.Visible) << c.Name;
        std::string text;
        if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
            text = button->text().toStdString();
        } else if (auto* label = qobject_cast<QLabel*>(&widget)) {
            text = label->text().toStdString();
        } else if (auto* group = qobject_cast<QGroupBox*>(&widget)) {
            text = group->title().toStdString();
        }
        EXPECT_EQ(text, c.Text) << c.Name;
    }
    EXPECT_EQ(Component<QLabel>(window, "Label2").palette().color(QPalette::WindowText),
              QColor(0, 128, 128));
    EXPECT_TRUE(Component<QLabel>(window, "Label1").alignment() & Qt::AlignHCenter);

    auto& group = Component<TRadioGroup>(window, "RadioGroup1");
    ASSERT_EQ(group.Count(), 2);
    EXPECT_EQ(group.ItemIndex(), 0);
    auto buttons = group.findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->text().toStdString(), "Gerät A");
    EXPECT_TRUE(buttons[0]->isChecked());
    for (const char* name : {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4", "CloseBtn"}) {
        EXPECT_TRUE(Component(window, name).isEnabled()) << name;
    }
}

TEST_F(MainWindowTest, TabOrderFollowsTheForm) {
    TMainWindow window(folder.ProgramFile());
    const std::vector<std::string> order = {"RadioGroup1", "BitBtn2", "BitBtn1",
                                            "CloseBtn",    "BitBtn3", "BitBtn4"};
    std::vector<std::string> seen;
    QWidget* widget = &Component(window, "RadioGroup1");
    for (int step = 0; step < 50 && seen.size() < order.size(); ++step) {
        std::string name = widget->objectName().toStdString();
        if (std::find(order.begin(), order.end(), name) != order.end()) {
            seen.push_back(name);
        }
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(seen, order);
    EXPECT_EQ(Component(window, "SpeedButton1").focusPolicy(), Qt::NoFocus);
}

TEST_F(MainWindowTest, WithoutDevicesTheOperationsAreLocked) {
    TMainWindow window(folder.ProgramFile());
    EXPECT_FALSE(Component(window, "RadioGroup1").isVisibleTo(&window));
    EXPECT_FALSE(Component(window, "SpeedButton1").isVisibleTo(&window));
    EXPECT_FALSE(Component(window, "SpeedButton2").isVisibleTo(&window));
    for (const char* name : {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"}) {
        EXPECT_FALSE(Component(window, name).isEnabled()) << name;
    }
    EXPECT_TRUE(Component(window, "CloseBtn").isEnabled());
}

TEST_F(MainWindowTest, ManyDevicesSpreadOverColumns) {
    for (int i = 1; i <= 25; ++i) {
        WriteSettings(
            folder.Path() + "d" + std::to_string(100 + i) + ".ini",
            DeviceLines("ID" + std::to_string(i), "G" + std::to_string(i), std::to_string(i)));
    }
    TMainWindow window(folder.ProgramFile());
    auto& group = Component<TRadioGroup>(window, "RadioGroup1");
    EXPECT_EQ(group.height(), 260);
    EXPECT_EQ(group.Columns(), 3);
    EXPECT_EQ(group.Count(), 25);
}

TEST_F(MainWindowTest, ProxyButtonAsksWithThePresetAndKeepsTheAnswer) {
    WriteSettings(folder.Path() + "a.ini",
                  DeviceLines("PPC-A", "Gerät A", "1", {"17=proxy.intern", "18=8080"}));
    TMainWindow window(folder.ProgramFile());
    window.show();
    std::string title, prompt, preset;
    TDialogAnswer<QInputDialog> answer([&](QInputDialog& dialog) {
        title = dialog.windowTitle().toStdString();
        prompt = dialog.labelText().toStdString();
        preset = dialog.textValue().toStdString();
        dialog.setTextValue("anderer:3128");
        dialog.accept();
    });
    Component<QAbstractButton>(window, "SpeedButton2").click();

    ASSERT_TRUE(answer.Answered());
    EXPECT_EQ(title, "Proxy für HTTP-Verbindung");
    EXPECT_EQ(prompt, "Proxy-Server und Port (z.B. MyServer:80)");
    EXPECT_EQ(preset, "proxy.intern:8080");
    EXPECT_EQ(window.Form().CurrentProxy, "anderer:3128");
}

TEST_F(MainWindowTest, CancelledProxyDialogKeepsThePreset) {
    WriteSettings(folder.Path() + "a.ini",
                  DeviceLines("PPC-A", "Gerät A", "1", {"17=proxy.intern", "18=8080"}));
    TMainWindow window(folder.ProgramFile());
    window.show();
    TDialogAnswer<QInputDialog> answer([](QInputDialog& dialog) {
        dialog.setTextValue("verworfen:1");
        dialog.reject();
    });
    Component<QAbstractButton>(window, "SpeedButton2").click();
    ASSERT_TRUE(answer.Answered());
    EXPECT_EQ(window.Form().CurrentProxy, "proxy.intern:8080");
}

TEST_F(MainWindowTest, InformationBoxShowsTheNormalCursorWhileTheOperationIsLocked) {
    WriteSettings(folder.Path() + "a.ini", DeviceLines("PPC-A", "Gerät A", "1"));
    TMainWindow window(folder.ProgramFile());
    window.show();
    std::string text;
    bool lockedWhileShown = false, normalCursor = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    TDialogAnswer<QMessageBox> answer([&](QMessageBox& box) {
        text = box.text().toStdString();
        icon = box.icon();
        lockedWhileShown =
            !Component(window, "BitBtn1").isEnabled() && !Component(window, "CloseBtn").isEnabled();
        normalCursor = QApplication::overrideCursor() == nullptr;
        box.accept();
    });
    window.Form().RunOperation([&] {
        window.Form().OperationPreamble();
        window.Form().ShowInfo("Zwischenstand");
    });

    ASSERT_TRUE(answer.Answered());
    EXPECT_EQ(text, "Zwischenstand");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_TRUE(lockedWhileShown);
    EXPECT_TRUE(normalCursor);
    EXPECT_TRUE(Component(window, "BitBtn1").isEnabled());
    EXPECT_TRUE(Component(window, "CloseBtn").isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, ErrorInAnOperationShowsTheErrorBoxAndUnlocks) {
    WriteSettings(folder.Path() + "a.ini", DeviceLines("PPC-A", "Gerät A", "1"));
    TMainWindow window(folder.ProgramFile());
    window.show();
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::string text;
    TDialogAnswer<QMessageBox> answer([&](QMessageBox& box) {
        icon = box.icon();
        text = box.text().toStdString();
        box.accept();
    });
    window.Form().RunOperation([&] {
        window.Form().OperationPreamble();
        throw std::runtime_error("Zugriff verweigert");
    });
    ASSERT_TRUE(answer.Answered());
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(text, "Zugriff verweigert");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Component(window, "BitBtn2").isEnabled());
}

TEST_F(MainWindowTest, CloseButtonClosesTheWindow) {
    TMainWindow window(folder.ProgramFile());
    window.show();
    ASSERT_TRUE(window.isVisible());
    Component<QAbstractButton>(window, "CloseBtn").click();
    EXPECT_FALSE(window.isVisible());
}

// The window as the README shows it; with ORVENDAL_SCREENSHOTS=DIR it is saved there.
TEST_F(MainWindowTest, ThreeDevicesReadyForWork) {
    WriteSettings(folder.Path() + "a.ini", DeviceLines("PPC-A", "Kundendienst Nord", "101"));
    WriteSettings(folder.Path() + "b.ini", DeviceLines("PPC-B", "Kundendienst Süd", "102"));
    WriteSettings(folder.Path() + "c.ini", DeviceLines("PPC-C", "Werkstatt", "103"));
    TMainWindow window(folder.ProgramFile());
    window.show();
    QApplication::processEvents();
    auto& group = Component<TRadioGroup>(window, "RadioGroup1");
    EXPECT_EQ(group.Count(), 3);
    EXPECT_EQ(group.ItemIndex(), 0);
    const QPixmap picture = window.grab();
    EXPECT_EQ(picture.size(), QSize(TMainWindow::ClientWidth, TMainWindow::ClientHeight));
    if (const char* dir = std::getenv("ORVENDAL_SCREENSHOTS")) {
        EXPECT_TRUE(picture.save(QString::fromUtf8(dir) + "/main-window.png"));
    }
}

} // namespace
} // namespace orvendal::testing
