#include "app/VelQuonda3.h"

#include "app/RadioGroup.h"
#include "app/Widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvendal {
namespace {

QLineEdit* Edit(QWidget* parent, const char* name, const QRect& place) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(place);
    return edit;
}

} // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName("Form3");
    SetUpDialog(*this, "Zuordnung von Fotos", ClientWidth, ClientHeight);

    QLabel* title = FormLabel(this, "Label101", "Systemeinstellungen für die Foto-Zuordnung",
                              {10, 5, 375, 24}, Qt::AlignHCenter | Qt::AlignTop, 21);
    SetTextColor(title, QColor(0, 128, 0));
    Edit1 = Edit(this, "Edit1", {20, 70, 250, 21});
    FormLabel(this, "Label104", "Pfad der &Foto-Dateien:", {20, 50, 135, 16},
              Qt::AlignLeft | Qt::AlignTop, 13)
        ->setBuddy(Edit1);
    Edit2 = Edit(this, "Edit2", {20, 118, 100, 21});
    FormLabel(this, "Label105", "&Präfix im Foto-Dateinamen:", {20, 100, 160, 16},
              Qt::AlignLeft | Qt::AlignTop, 13)
        ->setBuddy(Edit2);
    RadioGroup1 = new TRadioGroup(this);
    RadioGroup1->setObjectName("RadioGroup1");
    RadioGroup1->setTitle(QString::fromUtf8(" Modus für Zeitstempel "));
    RadioGroup1->setGeometry(300, 50, 200, 145);
    QFont groupFont = RadioGroup1->font();
    groupFont.setPixelSize(13);
    RadioGroup1->setFont(groupFont);

    QPushButton* ok =
        GlyphButton(this, "OkBtn", "OK", QStyle::SP_DialogOkButton, {70, 220, 150, 30});
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    QPushButton* abort = GlyphButton(this, "AbortBtn", "Abbruch", QStyle::SP_DialogCancelButton,
                                     {288, 220, 150, 30});
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
}

bool TForm3::Execute(TPhotoSettingsForm& form) {
    Edit1->setText(QString::fromStdString(form.Folder));
    Edit2->setText(QString::fromStdString(form.Prefix));
    RadioGroup1->SetItems(form.Modes);
    RadioGroup1->SetItemIndex(form.ModeIndex);
    if (exec() != QDialog::Accepted) {
        return false;
    }
    form.Folder = Edit1->text().toStdString();
    form.Prefix = Edit2->text().toStdString();
    form.ModeIndex = RadioGroup1->ItemIndex();
    return true;
}

} // namespace orvendal
