#pragma once
// A view for tests: keeps what is shown, records the main calls in order and answers questions
// from a script.

#include "view/View.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace orvendal::testing {

class TScriptedView : public TView {
public:
    struct Box {
        TMsgKind Kind;
        std::string Text;
    };

    // Answers for the next confirmations, in order; without one the answer is No.
    std::deque<bool> Answers;
    // Answers for the next picture dialogs; an empty text means Cancel.
    std::deque<std::string> Pictures;

    std::vector<Box> Boxes;
    // The box texts, one per line, for failure messages.
    std::string BoxTexts() const {
        std::string all;
        for (const Box& box : Boxes)
            all += box.Text + "\n";
        return all;
    }
    std::vector<std::string> Calls;  // every call, as "Name(args)"
    std::vector<std::string> Status; // every text set on Label1, in order
    std::map<std::string, bool> Enabled, Visible;
    std::map<std::string, std::string> Text, Picture;
    std::map<std::string, TColor> FontColor;
    std::map<std::string, std::pair<int, int>> Size, RadioLayout;
    std::map<std::string, std::vector<std::string>> Items;
    std::map<std::string, int> Index;
    bool Hourglass = false;
    int Repaints = 0;

    void SetEnabled(const std::string& c, bool e) override {
        Enabled[c] = e;
        Calls.push_back("SetEnabled(" + c + "," + (e ? "1" : "0") + ")");
    }
    void SetVisible(const std::string& c, bool v) override {
        Visible[c] = v;
        Calls.push_back("SetVisible(" + c + "," + (v ? "1" : "0") + ")");
    }
    void SetText(const std::string& c, const std::string& t) override {
        Text[c] = t;
        if (c == "Label1")
            Status.push_back(t);
        Calls.push_back("SetText(" + c + "," + t + ")");
    }
    void SetFontColor(const std::string& c, TColor color) override { FontColor[c] = color; }
    void SetSize(const std::string& c, int w, int h) override { Size[c] = {w, h}; }
    void SetItems(const std::string& c, const std::vector<std::string>& items) override {
        Items[c] = items;
        Index[c] = -1;
    }
    void SetItemIndex(const std::string& c, int i) override { Index[c] = i; }
    int ItemIndex(const std::string& c) override { return Index.contains(c) ? Index[c] : -1; }
    void SetRadioLayout(const std::string& c, int height, int columns) override {
        RadioLayout[c] = {height, columns};
    }
    void SetHourglass(bool busy) override {
        Hourglass = busy;
        Calls.push_back(busy ? "Hourglass" : "Normal");
    }
    bool MessageBox(TMsgKind kind, const std::string& text) override {
        Boxes.push_back({kind, text});
        Calls.push_back("MessageBox(" + text + ")");
        return kind != TMsgKind::Confirmation || Next(Answers, false);
    }
    std::string InputBox(const std::string&, const std::string&,
                         const std::string& value) override {
        return value; // as if confirmed unchanged
    }
    bool OpenPictureDialog(std::string& fileName) override {
        fileName = Next(Pictures, std::string());
        return !fileName.empty();
    }
    bool SetPicture(const std::string& c, const std::string& fileName) override {
        Picture[c] = fileName;
        return true;
    }
    void SetHint(const std::string&, const std::string&) override {}
    bool ShowPhotoSettings(TPhotoSettingsForm&) override { return false; } // Abbruch
    void ShowPhotoAssignment(TSQLADOServer&, const std::string&) override {}
    void ProcessMessages() override { ++Repaints; }
    void SetProgress(int, int) override {}
    void HideProgress() override {}

private:
    // The next scripted answer, or fallback when none is left.
    template <typename T> static T Next(std::deque<T>& answers, T fallback) {
        if (!answers.empty()) {
            fallback = std::move(answers.front());
            answers.pop_front();
        }
        return fallback;
    }
};

} // namespace orvendal::testing
