#pragma once
// TView over real Qt widgets: components are the form's child widgets found by objectName
// ("BitBtn1", "Label1", ...); "Form" is the window itself. A name that the form does not have
// is a programming error and throws std::invalid_argument.

#include "view/View.h"

class QWidget;

namespace orvendal {

class TQtView : public TView {
public:
    explicit TQtView(QWidget& form) : form_(form) {}
    ~TQtView() override;

    void SetEnabled(const std::string& component, bool enabled) override;
    void SetVisible(const std::string& component, bool visible) override;
    void SetText(const std::string& component, const std::string& text) override;
    void SetFontColor(const std::string& component, TColor color) override;
    void SetSize(const std::string& component, int width, int height) override;
    void SetItems(const std::string& component, const std::vector<std::string>& items) override;
    void SetItemIndex(const std::string& component, int index) override;
    int ItemIndex(const std::string& component) override;
    void SetRadioLayout(const std::string& component, int height, int columns) override;
    // The hourglass is the application's override cursor; calls do not nest.
    void SetHourglass(bool busy) override;
    bool MessageBox(TMsgKind kind, const std::string& text) override;
    std::string InputBox(const std::string& caption, const std::string& prompt,
                         const std::string& value) override;
    bool OpenPictureDialog(std::string& fileName) override;
    // Pictures show in labels; a hint is the widget's tool tip.
    bool SetPicture(const std::string& component, const std::string& fileName) override;
    void SetHint(const std::string& component, const std::string& text) override;
    // The photo dialogs are made on first use and live as long as the form.
    bool ShowPhotoSettings(TPhotoSettingsForm& form) override;
    void ShowPhotoAssignment(TSQLADOServer& server, const std::string& workDir) override;
    void ProcessMessages() override;
    // The form's "ProgressBar1"; a form without one shows no progress.
    void SetProgress(int done, int total) override;
    void HideProgress() override;

    // Window titles of the message boxes, by kind.
    static const char* BoxTitle(TMsgKind kind);

private:
    QWidget& Find(const std::string& component) const;
    class TRadioGroup& RadioGroup(const std::string& component) const;

    QWidget& form_;
    bool busy_ = false;
    class TForm2* form2_ = nullptr; // children of form_
    class TForm3* form3_ = nullptr;
};

} // namespace orvendal
