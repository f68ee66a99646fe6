#pragma once
// TView for the console front end: progress texts (Label1) and message boxes go to the error
// stream, confirmations are answered by --yes/--no, else asked on a terminal, else No; the
// input box keeps its preset; the picture dialog takes the files queued in Pictures; the photo
// dialogs print their values and act as the command that opened them asks.

#include "view/View.h"

#include <chrono>
#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvendal {

class TConsoleView : public TView {
public:
    // confirm: the fixed answer for confirmations (unset: ask when terminal is true).
    TConsoleView(std::ostream& out, std::istream& in, std::optional<bool> confirm, bool terminal);

    // Files the picture dialog returns, in order; when none is left the dialog is cancelled.
    std::deque<std::string> Pictures;
    // What the photo settings dialog takes in; with nothing set it closes with Abbruch. Mode is
    // the index of the time stamp choice; one the dialog does not offer is refused.
    struct TPhotoSettingsEdits {
        std::optional<std::string> Folder, Prefix;
        std::optional<int> Mode;
    } PhotoSettingsEdits;
    // What is done while the photo assignment dialog is open.
    std::function<void(TSQLADOServer&, const std::string& workDir)> PhotoAssignment;
    // Draw a progress line ("[####----] 1200 von 20000 (5400/s)"): set when the error stream
    // is a terminal, where the line is redrawn in place; elsewhere nothing is printed for it.
    bool ProgressLine = false;
    // Number of warning and error boxes shown so far.
    int Problems() const { return problems_; }
    // Every message box so far, in order, a confirmation with the answer taken.
    struct TMessage {
        TMsgKind Kind;
        std::string Text;
        bool Answer = true;
    };
    std::vector<TMessage> Messages;
    // The component is offered as the window would offer it: last made visible and enabled
    // (a component never touched counts as both).
    bool Offered(const std::string& component) const;
    // Prints "Fehler: text" and counts it as a problem: the console refuses what no window offers.
    void Refuse(const std::string& text) { MessageBox(TMsgKind::Error, text); }

    void SetEnabled(const std::string& component, bool enabled) override;
    void SetVisible(const std::string& component, bool visible) override;
    // Prints the non-empty texts of Label1; other components have no place on a console.
    void SetText(const std::string& component, const std::string& text) override;
    void SetFontColor(const std::string&, TColor) override {}
    void SetSize(const std::string&, int, int) override {}
    void SetItems(const std::string& component, const std::vector<std::string>& items) override;
    void SetItemIndex(const std::string& component, int index) override;
    int ItemIndex(const std::string& component) override;
    void SetRadioLayout(const std::string&, int, int) override {}
    void SetHourglass(bool) override {}
    // "Information: text", "Warnung: text", "Fehler: text", "Frage: text" with the answer.
    bool MessageBox(TMsgKind kind, const std::string& text) override;
    std::string InputBox(const std::string& caption, const std::string& prompt,
                         const std::string& value) override;
    bool OpenPictureDialog(std::string& fileName) override;
    bool SetPicture(const std::string&, const std::string&) override { return true; }
    void SetHint(const std::string&, const std::string&) override {}
    bool ShowPhotoSettings(TPhotoSettingsForm& form) override;
    void ShowPhotoAssignment(TSQLADOServer& server, const std::string& workDir) override;
    void ProcessMessages() override;
    void SetProgress(int done, int total) override;
    void HideProgress() override;

    const std::vector<std::string>& Items(const std::string& component) const;

private:
    bool Confirm(const std::string& text);
    // Erases a drawn progress line, so that a text starts at the line's beginning.
    void ClearProgressLine();

    std::ostream& out_;
    std::istream& in_;
    std::optional<bool> confirm_;
    bool terminal_;
    std::map<std::string, std::vector<std::string>> items_;
    std::map<std::string, int> index_;
    std::map<std::string, bool> enabled_, visible_;
    int problems_ = 0;
    bool lineDrawn_ = false;
    std::chrono::steady_clock::time_point stepStart_;
};

} // namespace orvendal
