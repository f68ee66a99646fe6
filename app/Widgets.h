#pragma once
// The pieces the forms are built from: components named by their form names, at their places.

#include <QStyle>

class QLabel;
class QPushButton;
class QRect;
class QWidget;

namespace orvendal {

// A push button with the style's glyph.
QPushButton* GlyphButton(QWidget* parent, const char* name, const char* text,
                         QStyle::StandardPixmap glyph, const QRect& place, const char* hint = "");
// A push button without a glyph.
QPushButton* PlainButton(QWidget* parent, const char* name, const char* text, const QRect& place);
// A label, widened to its text within the parent; alignment as Qt's, pixelSize 0 keeps the
// form's font.
QLabel* FormLabel(QWidget* parent, const char* name, const char* text, const QRect& place,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop, int pixelSize = 0);
// The text colour of a widget.
void SetTextColor(QWidget* widget, const QColor& color);
// A form: the 8-point form font, a fixed client size, centred on the primary screen.
void SetUpForm(QWidget& window, int width, int height);
// A dialog form as SetUpForm, with a caption, a dialog border without title-bar buttons, on top.
void SetUpDialog(QWidget& dialog, const char* caption, int width, int height);

} // namespace orvendal
