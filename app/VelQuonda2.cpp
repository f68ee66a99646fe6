#include "app/VelQuonda2.h"

#include "app/Widgets.h"

#include <QHideEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>

#include <functional>

namespace orvendal {
namespace {

// The preview panel: a sunken frame whose caption shows through where no picture is, and whose
// picture always fills it.
class TPanel : public QLabel {
public:
    explicit TPanel(QWidget* parent) : QLabel(parent) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setAlignment(Qt::AlignCenter);
        setWordWrap(true);
    }
    QLabel* Picture = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        if (Picture != nullptr) {
            Picture->setGeometry(contentsRect());
        }
    }
};

class TPreview : public QLabel {
public:
    TPreview(QWidget* parent, std::function<void()> click)
        : QLabel(parent), click_(std::move(click)) {
        setScaledContents(true);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            click_();
        }
    }

private:
    std::function<void()> click_;
};

} // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent), view_(*this) {
    setObjectName("Form2");
    SetUpDialog(*this, "Zuordnung von Fotos", ClientWidth, ClientHeight);
    CreateComponents();
}

TForm2::~TForm2() = default;

QPushButton* TForm2::Tagged(QPushButton* button, int tag) {
    connect(button, &QPushButton::clicked, this, [this, tag] { ButtonClick(tag); });
    return button;
}

void TForm2::CreateComponents() {
    QLabel* title = FormLabel(this, "Label101", "Zuordnung von Fotos", {50, 5, 500, 25},
                              Qt::AlignHCenter | Qt::AlignTop, 21);
    SetTextColor(title, QColor(0, 128, 0));
    TElidedLabel* job = ElidedLabel(this, "Label103", "(Auftragsbezeichnung)", {10, 30, 572, 20},
                                    Qt::AlignHCenter | Qt::AlignTop, 13);
    SetTextColor(job, QColor(255, 0, 0));

    auto* panel = new TPanel(this);
    panel->setObjectName("APanel");
    panel->setGeometry(10, 50, 390, 290);
    panel->Picture = new TPreview(panel, [this] {
        if (blob_) {
            blob_->PreviewClick();
        }
    });
    panel->Picture->setObjectName("Preview");
    panel->Picture->setGeometry(panel->contentsRect());

    Tagged(GlyphButton(this, "YesBtn", "&Foto einlesen", QStyle::SP_DialogYesButton,
                       {430, 50, 150, 30}),
           306)
        ->setDefault(true);
    Tagged(
        GlyphButton(this, "NoBtn", "Foto &löschen", QStyle::SP_DialogNoButton, {430, 50, 150, 30}),
        307);
    Tagged(GlyphButton(this, "RetryBtn", "Erneutes &Senden", QStyle::SP_BrowserReload,
                       {430, 50, 150, 30}),
           309);
    Tagged(GlyphButton(this, "NextBtn", "&Nächstes Foto", QStyle::SP_ArrowDown, {430, 90, 150, 30}),
           305);
    Tagged(GlyphButton(this, "PrevBtn", "&Voriges Foto", QStyle::SP_ArrowUp, {430, 130, 150, 30}),
           304);
    Tagged(PlainButton(this, "Button321", "Nächste &Position", {430, 170, 150, 30}), 321);
    Tagged(PlainButton(this, "Button322", "&Datei laden...", {430, 170, 150, 30}), 322);
    QPushButton* close = GlyphButton(this, "CloseBtn", "&Schließen", QStyle::SP_DialogCloseButton,
                                     {430, 210, 150, 30});
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    FormLabel(this, "Label104", "Zeitpunkt der Aufnahme:", {430, 250, 150, 20},
              Qt::AlignLeft | Qt::AlignTop, 13);
    // The times and the kind are set at run time: shortened when too long, not shrunk.
    ElidedLabel(this, "Label105", "(Aufnahmezeitpunkt Gerät)", {430, 270, 150, 20},
                Qt::AlignLeft | Qt::AlignTop, 13);
    ElidedLabel(this, "Label106", "(Aufnahmezeitpunkt Kamera)", {430, 290, 154, 20},
                Qt::AlignLeft | Qt::AlignTop, 13);
    ElidedLabel(this, "Label107", "(Art des Fotos)", {430, 320, 150, 20},
                Qt::AlignLeft | Qt::AlignTop, 13);
    for (auto* button : findChildren<QPushButton*>()) {
        QFont font = button->font();
        font.setPixelSize(13);
        button->setFont(font);
    }
}

void TForm2::FormActivate() {
    blob_ = std::make_unique<TVelBlob>();
    blob_->WorkDir = WorkDir;
    blob_->Server = Server;
    blob_->Mode = 90;
    blob_->View = &view_;
    blob_->StatusLabel = "Label103";
    blob_->Open();
}

void TForm2::FormDeactivate() {
    blob_.reset();
}

void TForm2::ButtonClick(int tag) {
    if (blob_) {
        blob_->ButtonClick(tag);
    }
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormActivate();
    }
}

void TForm2::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) {
        FormDeactivate();
    }
}

} // namespace orvendal
