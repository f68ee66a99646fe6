#pragma once
// The pieces the forms are built from: components named by their form names, at their places.

#include <QLabel>
#include <QStyle>

#include <string>

class QIcon;
class QPushButton;
class QRect;
class QWidget;

namespace orvendal {

// A one-line label that keeps its whole text readable: a text too wide is shortened in the middle
// with "…" and the whole text becomes the tool tip; recomputed on every change and resize.
class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    void SetFullText(const QString& text);
    const QString& FullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();
    QString full_;
};

// Installs Qt's German texts (standard buttons, file dialog) in the running application. Empty
// when done, else a warning for the user.
std::string InstallGermanQtTexts();
// The program's icon, the one installed beside its desktop file.
QIcon ProgramIcon();

// A push button with the style's glyph.
QPushButton* GlyphButton(QWidget* parent, const char* name, const char* text,
                         QStyle::StandardPixmap glyph, const QRect& place, const char* hint = "");
// A push button without a glyph.
QPushButton* PlainButton(QWidget* parent, const char* name, const char* text, const QRect& place);
// A label, widened to its text within the parent; alignment as Qt's, pixelSize 0 keeps the
// form's font.
QLabel* FormLabel(QWidget* parent, const char* name, const char* text, const QRect& place,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop, int pixelSize = 0);
// A TElidedLabel at its place, for texts set at run time; pixelSize 0 keeps the form's font.
TElidedLabel* ElidedLabel(QWidget* parent, const char* name, const char* text, const QRect& place,
                          Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop,
                          int pixelSize = 0);
// The text colour of a widget.
void SetTextColor(QWidget* widget, const QColor& color);
// A form: the 8-point form font, a fixed client size, centred on the primary screen, the
// program's icon.
void SetUpForm(QWidget& window, int width, int height);
// A dialog form as SetUpForm, with a caption, a dialog border without title-bar buttons, on top.
void SetUpDialog(QWidget& dialog, const char* caption, int width, int height);

} // namespace orvendal
