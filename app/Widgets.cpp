#include "app/Widgets.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace orvendal {
namespace {

// Labels size themselves to their text, as on the forms' first platform; a text wider than the
// window gets a smaller font instead.
void FitToText(QLabel& label, const QRect& place, bool centred) {
    const int room = label.parentWidget()->width();
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
        grown.moveLeft(std::clamp(grown.left(), 0, std::max(0, room - grown.width())));
    } else {
        grown.setRight(std::min(grown.right(), room - 1)); // left edge as placed
    }
    label.setGeometry(grown);
}

} // namespace

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
    if (pixelSize > 0) {
        QFont font = label->font();
        font.setPixelSize(pixelSize);
        label->setFont(font);
    }
    FitToText(*label, place, alignment & Qt::AlignHCenter);
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
