#include "app/Widgets.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>

#include <algorithm>

namespace orvendal {
namespace {

// Room kept free between a label and the window's border.
constexpr int Margin = 8;

// Labels size themselves to their text, as on the forms' first platform, within the window's
// margins; a text wider than that room gets a smaller font instead.
void FitToText(QLabel& label, const QRect& place, bool centred) {
    const int right = label.parentWidget()->width() - Margin; // first pixel of the margin
    const int room = centred ? right - Margin : right - place.left();
    QFont font = label.font();
    while (label.sizeHint().width() > room && font.pixelSize() > 8) {
        font.setPixelSize(font.pixelSize() - 1);
        label.setFont(font);
    }
    const int wider = label.sizeHint().width() - place.width();
    if (wider <= 0) {
        return;
    }
    QRect grown = place.adjusted(0, 0, wider, 0);
    if (centred) {
        grown.translate(-wider / 2, 0);
        grown.moveLeft(std::clamp(grown.left(), Margin, std::max(Margin, right - grown.width())));
    } else {
        grown.setRight(std::min(grown.right(), right - 1)); // left edge as placed
    }
    label.setGeometry(grown);
}

void ApplyPixelSize(QWidget& widget, int pixelSize) {
    if (pixelSize > 0) {
        QFont font = widget.font();
        font.setPixelSize(pixelSize);
        widget.setFont(font);
    }
}

} // namespace

void TElidedLabel::SetFullText(const QString& text) {
    full_ = text;
    Elide();
}

void TElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Elide();
}

void TElidedLabel::Elide() {
    QStringList lines = full_.split('\n');
    for (QString& line : lines) {
        line = fontMetrics().elidedText(line, Qt::ElideMiddle, contentsRect().width());
    }
    const QString shown = lines.join('\n');
    setText(shown);
    setToolTip(shown == full_ ? QString() : full_);
}

std::string InstallGermanQtTexts() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load("qtbase_de", folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return "Warnung: Qt-Übersetzung qtbase_de fehlt in " + folder.toStdString() +
               ", Standardknöpfe bleiben englisch";
    }
    return {};
}

QIcon ProgramIcon() {
    // Installed, the icon theme has it; in the build tree the copy compiled in stands in.
    return QIcon::fromTheme("orvendal", QIcon(":/orvendal-48.png"));
}

QPushButton* PlainButton(QWidget* parent, const char* name, const char* text, const QRect& place) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(name);
    button->setGeometry(place);
    return button;
}

QPushButton* GlyphButton(QWidget* parent, const char* name, const char* text,
                         QStyle::StandardPixmap glyph, const QRect& place, const char* hint) {
    QPushButton* button = PlainButton(parent, name, text, place);
    button->setIcon(parent->style()->standardIcon(glyph));
    button->setToolTip(QString::fromUtf8(hint));
    return button;
}

QLabel* FormLabel(QWidget* parent, const char* name, const char* text, const QRect& place,
                  Qt::Alignment alignment, int pixelSize) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(name);
    label->setGeometry(place);
    label->setAlignment(alignment);
    ApplyPixelSize(*label, pixelSize);
    FitToText(*label, place, alignment & Qt::AlignHCenter);
    return label;
}

TElidedLabel* ElidedLabel(QWidget* parent, const char* name, const char* text, const QRect& place,
                          Qt::Alignment alignment, int pixelSize) {
    auto* label = new TElidedLabel(parent);
    label->setObjectName(name);
    label->setGeometry(place);
    label->setAlignment(alignment);
    ApplyPixelSize(*label, pixelSize);
    label->SetFullText(QString::fromUtf8(text));
    return label;
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

void SetUpForm(QWidget& window, int width, int height) {
    QFont small = window.font();
    small.setPixelSize(11); // the forms' 8-point font: a 13-pixel status line holds one line
    window.setFont(small);
    window.setFixedSize(width, height);
    window.setWindowIcon(ProgramIcon());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window.move(screen->availableGeometry().center() - QPoint(width / 2, height / 2));
    }
}

void SetUpDialog(QWidget& dialog, const char* caption, int width, int height) {
    dialog.setWindowTitle(QString::fromUtf8(caption));
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint);
    SetUpForm(dialog, width, height);
}

} // namespace orvendal
