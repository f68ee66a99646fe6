#pragma once
// The main window: the form's components at their places, wired to TForm1. FormCreate runs
// when the window is built, FormDestroy when it is destroyed.

#include "app/QtView.h"
#include "app/VelQuonda1.h"

#include <QWidget>

#include <string>

class QLabel;
class QPushButton;
class QToolButton;

namespace orvendal {

class TRadioGroup;

class TMainWindow : public QWidget {
public:
    static constexpr int ClientWidth = 692;
    static constexpr int ClientHeight = 366;

    // programFile as for TForm1: empty means the running executable.
    explicit TMainWindow(const std::string& programFile = "");
    ~TMainWindow() override;

    TForm1& Form() { return form_; }

private:
    void CreateComponents();
    void ConnectHandlers();

    TRadioGroup* RadioGroup1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QPushButton* CloseBtn;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QLabel* Label1;
    QLabel* Label2;

    TQtView view_;
    TForm1 form_;
};

} // namespace orvendal
