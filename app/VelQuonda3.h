#pragma once
// The photo settings dialog: the camera's folder, the start of its file names and the time
// stamp mode of a device.

#include "view/View.h"

#include <QDialog>

class QLineEdit;

namespace orvendal {

class TRadioGroup;

class TForm3 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 512;
    static constexpr int ClientHeight = 269;

    explicit TForm3(QWidget* parent = nullptr);

    // Shows form's values modally; on OK form takes the entered ones. True for OK.
    bool Execute(TPhotoSettingsForm& form);

private:
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    TRadioGroup* RadioGroup1;
};

} // namespace orvendal
