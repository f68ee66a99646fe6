#include "app/MainWindow.h"

#include "app/RadioGroup.h"
#include "app/Widgets.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

namespace orvendal {
namespace {

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

} // namespace

TMainWindow::TMainWindow(const std::string& programFile) : view_(*this), form_(view_, programFile) {
    setObjectName("Form1");
    SetUpForm(*this, ClientWidth, ClientHeight);
    CreateComponents();
    ConnectHandlers();
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

    Label1 = ElidedLabel(this, "Label1", "", {24, 296, 649, 13}, Qt::AlignHCenter | Qt::AlignTop);
    Label2 = FormLabel(this, "Label2", "", {24, 330, 649, 30}, Qt::AlignHCenter | Qt::AlignTop);
    SetTextColor(Label2, QColor(0, 128, 128));
    // Between the status line and the version text, shown only while a counted step runs.
    auto* progressBar = new QProgressBar(this);
    progressBar->setObjectName("ProgressBar1");
    progressBar->setGeometry(24, 313, 649, 8);
    progressBar->setTextVisible(false);
    progressBar->setVisible(false);

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

} // namespace orvendal
