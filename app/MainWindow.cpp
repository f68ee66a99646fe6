#include "app/MainWindow.h"

#include "app/RadioGroup.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

namespace orvendal {
namespace {

QPushButton* GlyphButton(QWidget* parent, const char* name, const char* text,
                         QStyle::StandardPixmap glyph, const QRect& place, const char* hint) {
    auto* button =
        new QPushButton(parent->style()->standardIcon(glyph), QString::fromUtf8(text), parent);
    button->setObjectName(name);
    button->setGeometry(place);
    button->setToolTip(QString::fromUtf8(hint));
    return button;
}

QToolButton* SpeedButton(QWidget* parent, const char* name, QStyle::StandardPixmap glyph,
                         const QRect& place, const char* hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(parent->style()->standardIcon(glyph));
    button->setGeometry(place);
    button->setToolTip(QString::fromUtf8(hint));
    button->setFocusPolicy(Qt::NoFocus); // speed buttons never take the focus
    button->setAutoRaise(true);
    return button;
}

QLabel* CentredLabel(QWidget* parent, const char* name, const QRect& place) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(place);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}

} // namespace

TMainWindow::TMainWindow(const std::string& programFile) : view_(*this), form_(view_, programFile) {
    setObjectName("Form1");
    QFont small = font();
    small.setPixelSize(11); // the form's 8-point font: a 13-pixel status line holds one line
    setFont(small);
    setFixedSize(ClientWidth, ClientHeight);
    CreateComponents();
    ConnectHandlers();
    CentreOnScreen();
    form_.FormCreate();
}

TMainWindow::~TMainWindow() {
    form_.FormDestroy();
}

void TMainWindow::CreateComponents() {
    RadioGroup1 = new TRadioGroup(this);
    RadioGroup1->setObjectName("RadioGroup1");
    RadioGroup1->setTitle(QString::fromUtf8("  Geräte  "));
    RadioGroup1->setGeometry(24, 10, 489, 260);

    BitBtn2 = GlyphButton(this, "BitBtn2", "Zuordnung &Fotos", QStyle::SP_FileDialogContentsView,
                          {530, 23, 121, 30},
                          "Zuordnung von Fotos für das ausgewählte Gerät durchführen oder ändern");
    SpeedButton1 =
        SpeedButton(this, "SpeedButton1", QStyle::SP_FileDialogDetailedView, {658, 25, 26, 26},
                    "Einstellungen zur Foto-Zuordnung für das ausgewählte Gerät bearbeiten");
    BitBtn1 = GlyphButton(this, "BitBtn1", "&Datenaustausch", QStyle::SP_BrowserReload,
                          {530, 63, 121, 30}, "Datenaustausch für das ausgewählte Gerät starten");
    SpeedButton2 = SpeedButton(this, "SpeedButton2", QStyle::SP_DriveNetIcon, {658, 67, 26, 26},
                               "optionale Einstellung Proxy-Server ");
    BitBtn3 = GlyphButton(this, "BitBtn3", "Support&versand", QStyle::SP_DialogHelpButton,
                          {530, 107, 121, 30}, "Versand der PPC-Datenbank an Support");
    BitBtn4 =
        GlyphButton(this, "BitBtn4", "&Update Handbuch", QStyle::SP_ArrowDown, {530, 155, 121, 30},
                    "Update des Einstellhandbuches für Gasgeräte auf dem Pocket-PC");
    BitBtn4->setVisible(false); // present for the manual update, never shown
    CloseBtn = GlyphButton(this, "CloseBtn", "&Schließen", QStyle::SP_DialogCloseButton,
                           {530, 240, 121, 30}, "");

    Label1 = CentredLabel(this, "Label1", {24, 296, 649, 13});
    Label2 = CentredLabel(this, "Label2", {24, 330, 649, 30});
    QPalette teal = Label2->palette();
    teal.setColor(QPalette::WindowText, QColor(0, 128, 128));
    Label2->setPalette(teal);

    QWidget::setTabOrder(RadioGroup1, BitBtn2);
    QWidget::setTabOrder(BitBtn2, BitBtn1);
    QWidget::setTabOrder(BitBtn1, CloseBtn);
    QWidget::setTabOrder(CloseBtn, BitBtn3);
    QWidget::setTabOrder(BitBtn3, BitBtn4);
}

void TMainWindow::ConnectHandlers() {
    connect(BitBtn1, &QPushButton::clicked, this, [this] { form_.BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { form_.BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { form_.BitBtn3Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { form_.BitBtn4Click(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { form_.SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { form_.SpeedButton2Click(); });
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);
}

void TMainWindow::CentreOnScreen() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(ClientWidth / 2, ClientHeight / 2));
    }
}

} // namespace orvendal
