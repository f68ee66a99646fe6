#pragma once
// The photo assignment dialog: steps through a device's photo rows and reads camera files into
// them. The logic is TVelBlob's; the dialog binds one to its components while it is shown.

#include "app/QtView.h"
#include "photo/VelBlob.h"

#include <QDialog>

#include <memory>
#include <string>

class QPushButton;

namespace orvendal {

class TSQLADOServer;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 592;
    static constexpr int ClientHeight = 373;

    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    TSQLADOServer* Server = nullptr; // the device's "mobil.mdb", set by the opener; not owned
    std::string WorkDir;             // the device's working folder

    // The logic of the current showing; null while the dialog is hidden.
    TVelBlob* Blob() const { return blob_.get(); }

    void FormActivate();
    void FormDeactivate();
    void ButtonClick(int tag);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void CreateComponents();
    // Connects a button to ButtonClick with its tag.
    QPushButton* Tagged(QPushButton* button, int tag);

    TQtView view_;
    std::unique_ptr<TVelBlob> blob_;
};

} // namespace orvendal
