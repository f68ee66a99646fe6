#pragma once
// A view for the benchmarks: shows nothing, keeps the message box texts (a benchmark that saw
// one reports it instead of a time) and the moments at which the status line changed.

#include "view/View.h"

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace orvendal::bench {

class TQuietView : public TView {
public:
    using TClock = std::chrono::steady_clock;

    std::vector<std::string> Boxes;
    std::vector<std::pair<std::string, TClock::time_point>> Status; // Label1 texts, in order

    void SetEnabled(const std::string&, bool) override {}
    void SetVisible(const std::string&, bool) override {}
    void SetText(const std::string& component, const std::string& text) override {
        if (component == "Label1")
            Status.emplace_back(text, TClock::now());
    }
    void SetFontColor(const std::string&, TColor) override {}
    void SetSize(const std::string&, int, int) override {}
    void SetItems(const std::string&, const std::vector<std::string>&) override {}
    void SetItemIndex(const std::string&, int) override {}
    int ItemIndex(const std::string&) override { return -1; }
    void SetRadioLayout(const std::string&, int, int) override {}
    void SetHourglass(bool) override {}
    // Confirmations are answered No, so a benchmark never goes on past a question.
    bool MessageBox(TMsgKind kind, const std::string& text) override {
        Boxes.push_back(text);
        return kind != TMsgKind::Confirmation;
    }
    std::string InputBox(const std::string&, const std::string&,
                         const std::string& value) override {
        return value;
    }
    bool OpenPictureDialog(std::string&) override { return false; }
    bool SetPicture(const std::string&, const std::string&) override { return true; }
    void SetHint(const std::string&, const std::string&) override {}
    bool ShowPhotoSettings(TPhotoSettingsForm&) override { return false; }
    void ShowPhotoAssignment(TSQLADOServer&, const std::string&) override {}
    void ProcessMessages() override {}
    void SetProgress(int, int) override {}
    void HideProgress() override {}
};

} // namespace orvendal::bench
