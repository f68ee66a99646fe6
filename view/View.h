#pragma once
// The screen as the operations see it. Every operation talks to its window only through this
// interface, so the Qt windows, the console front end and the tests' scripted view all drive the
// same logic. Components are addressed by their form names ("BitBtn1", "Label1", "RadioGroup1").

#include <string>
#include <vector>

namespace orvendal {

enum class TMsgKind { Information, Warning, Error, Confirmation };

struct TColor {
    int R = 0, G = 0, B = 0;
    bool operator==(const TColor&) const = default;
};

class TSQLADOServer;

// The values of the photo settings dialog: shown when it opens, taken back on OK.
struct TPhotoSettingsForm {
    std::string Folder;             // Edit1: SysData 8
    std::string Prefix;             // Edit2: SysData 9
    std::vector<std::string> Modes; // RadioGroup1 items, "&MValue: Bezeichnung"
    int ModeIndex = -1;             // chosen item; -1 none
};

class TView {
public:
    virtual ~TView() = default;

    virtual void SetEnabled(const std::string& component, bool enabled) = 0;
    virtual void SetVisible(const std::string& component, bool visible) = 0;
    // Text of a label, caption of a panel, window caption ("Form").
    virtual void SetText(const std::string& component, const std::string& text) = 0;
    virtual void SetFontColor(const std::string& component, TColor color) = 0;
    virtual void SetSize(const std::string& component, int width, int height) = 0;

    // Radio group contents and layout.
    virtual void SetItems(const std::string& component, const std::vector<std::string>& items) = 0;
    virtual void SetItemIndex(const std::string& component, int index) = 0;
    virtual int ItemIndex(const std::string& component) = 0;
    virtual void SetRadioLayout(const std::string& component, int height, int columns) = 0;

    virtual void SetHourglass(bool busy) = 0;
    // Modal message box; the result is true for OK or Yes, false for No.
    virtual bool MessageBox(TMsgKind kind, const std::string& text) = 0;
    // Input box preset with value; returns the text entered, or the preset on Cancel.
    virtual std::string InputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& value) = 0;
    // Picture-file open dialog; false when nothing was chosen.
    virtual bool OpenPictureDialog(std::string& fileName) = 0;
    // Shows a picture file in a picture component, scaled to the component's size (size it
    // first); an empty name clears it. False when the file cannot be shown.
    virtual bool SetPicture(const std::string& component, const std::string& fileName) = 0;
    // A component's hint; an empty text switches it off.
    virtual void SetHint(const std::string& component, const std::string& text) = 0;

    // The photo settings dialog, modal; true when it closed with OK (form then holds the
    // entered values).
    virtual bool ShowPhotoSettings(TPhotoSettingsForm& form) = 0;
    // The photo assignment dialog, modal, over the connected "mobil.mdb" of a device whose
    // working folder is workDir.
    virtual void ShowPhotoAssignment(TSQLADOServer& server, const std::string& workDir) = 0;
    // Lets the window repaint once.
    virtual void ProcessMessages() = 0;
    // The progress bar below the status line while a step with a known count runs: done of
    // total; HideProgress takes it away when the step ends.
    virtual void SetProgress(int done, int total) = 0;
    virtual void HideProgress() = 0;
};

// Sets the status line and lets the window repaint.
inline void ShowProgress(TView& view, const std::string& text) {
    view.SetText("Label1", text);
    view.ProcessMessages();
}

// An information box with the normal cursor; the hourglass returns afterwards.
inline void ShowInfo(TView& view, const std::string& text) {
    view.SetHourglass(false);
    view.MessageBox(TMsgKind::Information, text);
    view.SetHourglass(true);
}

} // namespace orvendal
