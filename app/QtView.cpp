#include "app/QtView.h"

#include "app/RadioGroup.h"
#include "app/VelQuonda2.h"
#include "app/VelQuonda3.h"
#include "app/Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QImageReader>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>

#include <stdexcept>

namespace orvendal {

TQtView::~TQtView() {
    SetHourglass(false);
}

QWidget& TQtView::Find(const std::string& component) const {
    if (component == "Form") {
        return form_;
    }
    auto* widget = form_.findChild<QWidget*>(QString::fromStdString(component));
    if (widget == nullptr) {
        throw std::invalid_argument("Komponente nicht gefunden: " + component);
    }
    return *widget;
}

TRadioGroup& TQtView::RadioGroup(const std::string& component) const {
    auto* group = qobject_cast<TRadioGroup*>(&Find(component));
    if (group == nullptr) {
        throw std::invalid_argument("Keine Optionsgruppe: " + component);
    }
    return *group;
}

void TQtView::SetEnabled(const std::string& component, bool enabled) {
    Find(component).setEnabled(enabled);
}

void TQtView::SetVisible(const std::string& component, bool visible) {
    Find(component).setVisible(visible);
}

void TQtView::SetText(const std::string& component, const std::string& text) {
    QWidget& widget = Find(component);
    const QString value = QString::fromStdString(text);
    if (&widget == &form_) {
        widget.setWindowTitle(value);
    } else if (auto* elided = qobject_cast<TElidedLabel*>(&widget)) {
        elided->SetFullText(value);
    } else if (auto* label = qobject_cast<QLabel*>(&widget)) {
        label->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
        button->setText(value);
    } else if (auto* box = qobject_cast<QGroupBox*>(&widget)) {
        box->setTitle(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        edit->setText(value);
    } else {
        throw std::invalid_argument("Komponente ohne Text: " + component);
    }
}

void TQtView::SetFontColor(const std::string& component, TColor color) {
    QWidget& widget = Find(component);
    QPalette palette = widget.palette();
    const QColor qcolor(color.R, color.G, color.B);
    palette.setColor(QPalette::WindowText, qcolor);
    palette.setColor(QPalette::ButtonText, qcolor);
    palette.setColor(QPalette::Text, qcolor);
    widget.setPalette(palette);
}

void TQtView::SetSize(const std::string& component, int width, int height) {
    Find(component).resize(width, height);
}

void TQtView::SetItems(const std::string& component, const std::vector<std::string>& items) {
    RadioGroup(component).SetItems(items);
}

void TQtView::SetItemIndex(const std::string& component, int index) {
    RadioGroup(component).SetItemIndex(index);
}

int TQtView::ItemIndex(const std::string& component) {
    return RadioGroup(component).ItemIndex();
}

void TQtView::SetRadioLayout(const std::string& component, int height, int columns) {
    TRadioGroup& group = RadioGroup(component);
    group.resize(group.width(), height);
    group.SetColumns(columns);
}

void TQtView::SetHourglass(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

const char* TQtView::BoxTitle(TMsgKind kind) {
    switch (kind) {
    case TMsgKind::Information:
        return "Information";
    case TMsgKind::Warning:
        return "Warnung";
    case TMsgKind::Error:
        return "Fehler";
    case TMsgKind::Confirmation:
        break;
    }
    return "Bestätigen";
}

namespace {

// A box that waits for the user's answer shows the arrow, not the hourglass of the operation
// that asks.
class TArrowWhileAsking {
public:
    explicit TArrowWhileAsking(bool busy) : busy_(busy) {
        if (busy_)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~TArrowWhileAsking() {
        if (busy_)
            QApplication::restoreOverrideCursor();
    }
    TArrowWhileAsking(const TArrowWhileAsking&) = delete;
    TArrowWhileAsking& operator=(const TArrowWhileAsking&) = delete;

private:
    const bool busy_;
};

} // namespace

bool TQtView::MessageBox(TMsgKind kind, const std::string& text) {
    const TArrowWhileAsking arrow(busy_);
    const QString title = QString::fromUtf8(BoxTitle(kind));
    const QString message = QString::fromStdString(text);
    switch (kind) {
    case TMsgKind::Information:
        QMessageBox::information(&form_, title, message);
        return true;
    case TMsgKind::Warning:
        QMessageBox::warning(&form_, title, message);
        return true;
    case TMsgKind::Error:
        QMessageBox::critical(&form_, title, message);
        return true;
    case TMsgKind::Confirmation:
        break;
    }
    return QMessageBox::question(&form_, title, message, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

std::string TQtView::InputBox(const std::string& caption, const std::string& prompt,
                              const std::string& value) {
    const TArrowWhileAsking arrow(busy_);
    bool ok = false;
    QString text = QInputDialog::getText(&form_, QString::fromStdString(caption),
                                         QString::fromStdString(prompt), QLineEdit::Normal,
                                         QString::fromStdString(value), &ok);
    return ok ? text.toStdString() : value;
}

bool TQtView::OpenPictureDialog(std::string& fileName) {
    QString chosen = QFileDialog::getOpenFileName(
        &form_, QString(), QString(),
        QString::fromUtf8("Bilder (*.jpg *.jpeg *.bmp *.png *.gif);;Alle Dateien (*)"));
    if (chosen.isEmpty()) {
        return false;
    }
    fileName = chosen.toStdString();
    return true;
}

bool TQtView::SetPicture(const std::string& component, const std::string& fileName) {
    auto* label = qobject_cast<QLabel*>(&Find(component));
    if (label == nullptr) {
        throw std::invalid_argument("Keine Bildkomponente: " + component);
    }
    label->clear();
    if (fileName.empty()) {
        return true;
    }
    // Read at the size shown: a camera picture at full size can exceed Qt's allocation limit.
    QImageReader reader(QString::fromStdString(fileName));
    reader.setAutoTransform(true);
    QSize room = label->size();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) {
        room.transpose(); // the scaled size applies before the picture is turned
    }
    const QSize size = reader.size();
    if (!room.isEmpty() && size.isValid() &&
        (size.width() > room.width() || size.height() > room.height())) {
        reader.setScaledSize(size.scaled(room, Qt::KeepAspectRatio));
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        return false;
    }
    label->setPixmap(QPixmap::fromImage(image));
    return true;
}

void TQtView::SetHint(const std::string& component, const std::string& text) {
    Find(component).setToolTip(QString::fromStdString(text));
}

bool TQtView::ShowPhotoSettings(TPhotoSettingsForm& form) {
    if (form3_ == nullptr) {
        form3_ = new TForm3(&form_);
    }
    return form3_->Execute(form);
}

void TQtView::ShowPhotoAssignment(TSQLADOServer& server, const std::string& workDir) {
    if (form2_ == nullptr) {
        form2_ = new TForm2(&form_);
    }
    form2_->Server = &server;
    form2_->WorkDir = workDir;
    form2_->exec();
}

void TQtView::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TQtView::SetProgress(int done, int total) {
    if (auto* bar = form_.findChild<QProgressBar*>("ProgressBar1")) {
        bar->setRange(0, total);
        bar->setValue(done);
        bar->setVisible(true);
    }
}

void TQtView::HideProgress() {
    if (auto* bar = form_.findChild<QProgressBar*>("ProgressBar1")) {
        bar->setVisible(false);
    }
}

} // namespace orvendal
