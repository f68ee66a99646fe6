#include "app/ConsoleView.h"

#include <algorithm>
#include <istream>
#include <ostream>

namespace orvendal {

TConsoleView::TConsoleView(std::ostream& out, std::istream& in, std::optional<bool> confirm,
                           bool terminal)
    : out_(out), in_(in), confirm_(confirm), terminal_(terminal) {}

void TConsoleView::SetEnabled(const std::string& component, bool enabled) {
    enabled_[component] = enabled;
}

void TConsoleView::SetVisible(const std::string& component, bool visible) {
    visible_[component] = visible;
}

bool TConsoleView::Offered(const std::string& component) const {
    const auto enabled = enabled_.find(component);
    const auto visible = visible_.find(component);
    return (enabled == enabled_.end() || enabled->second) &&
           (visible == visible_.end() || visible->second);
}

void TConsoleView::SetText(const std::string& component, const std::string& text) {
    if (component == "Label1" && !text.empty()) {
        ClearProgressLine();
        out_ << text << "\n";
    }
}

void TConsoleView::SetItems(const std::string& component, const std::vector<std::string>& items) {
    items_[component] = items;
    index_[component] = -1;
}

void TConsoleView::SetItemIndex(const std::string& component, int index) {
    const auto& items = Items(component);
    index_[component] = index >= 0 && index < static_cast<int>(items.size()) ? index : -1;
}

int TConsoleView::ItemIndex(const std::string& component) {
    auto it = index_.find(component);
    return it == index_.end() ? -1 : it->second;
}

const std::vector<std::string>& TConsoleView::Items(const std::string& component) const {
    static const std::vector<std::string> none;
    auto it = items_.find(component);
    return it == items_.end() ? none : it->second;
}

bool TConsoleView::MessageBox(TMsgKind kind, const std::string& text) {
    ClearProgressLine();
    Messages.push_back({kind, text});
    switch (kind) {
    case TMsgKind::Information:
        out_ << "Information: " << text << "\n";
        return true;
    case TMsgKind::Warning:
        ++problems_;
        out_ << "Warnung: " << text << "\n";
        return true;
    case TMsgKind::Error:
        ++problems_;
        out_ << "Fehler: " << text << "\n";
        return true;
    case TMsgKind::Confirmation:
        break;
    }
    Messages.back().Answer = Confirm(text);
    return Messages.back().Answer;
}

bool TConsoleView::Confirm(const std::string& text) {
    out_ << "Frage: " << text;
    bool answer = false;
    if (confirm_) {
        answer = *confirm_;
    } else if (terminal_) {
        out_ << " [j/N] " << std::flush;
        std::string line;
        std::getline(in_, line);
        answer = line == "j" || line == "J" || line == "ja" || line == "Ja" || line == "y" ||
                 line == "yes";
    }
    out_ << " -> " << (answer ? "Ja" : "Nein") << "\n";
    return answer;
}

std::string TConsoleView::InputBox(const std::string& caption, const std::string& prompt,
                                   const std::string& value) {
    out_ << caption << ": " << prompt << " -> " << value << "\n";
    return value;
}

bool TConsoleView::OpenPictureDialog(std::string& fileName) {
    if (Pictures.empty()) {
        return false;
    }
    fileName = Pictures.front();
    Pictures.pop_front();
    return true;
}

bool TConsoleView::ShowPhotoSettings(TPhotoSettingsForm& form) {
    const TPhotoSettingsEdits& edits = PhotoSettingsEdits;
    const int modes = static_cast<int>(form.Modes.size());
    bool ok = edits.Folder || edits.Prefix || edits.Mode;
    if (edits.Mode && (*edits.Mode < 0 || *edits.Mode >= modes)) {
        Refuse("Der Modus " + std::to_string(*edits.Mode) + " wird nicht angeboten" +
               (modes > 0 ? " (0 bis " + std::to_string(modes - 1) + ")." : ": keine Modi."));
        ok = false;
    }
    if (ok) {
        form.Folder = edits.Folder.value_or(form.Folder);
        form.Prefix = edits.Prefix.value_or(form.Prefix);
        form.ModeIndex = edits.Mode.value_or(form.ModeIndex);
    }
    out_ << "Pfad der Foto-Dateien: " << form.Folder << "\n"
         << "Präfix im Foto-Dateinamen: " << form.Prefix << "\n"
         << "Modus für Zeitstempel:\n";
    for (size_t i = 0; i < form.Modes.size(); ++i) {
        out_ << (static_cast<int>(i) == form.ModeIndex ? " * " : "   ") << i << " " << form.Modes[i]
             << "\n";
    }
    return ok;
}

void TConsoleView::ShowPhotoAssignment(TSQLADOServer& server, const std::string& workDir) {
    if (PhotoAssignment) {
        PhotoAssignment(server, workDir);
    }
}

void TConsoleView::ProcessMessages() {
    out_.flush();
}

void TConsoleView::SetProgress(int done, int total) {
    if (!ProgressLine) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (done == 0) {
        stepStart_ = now;
    }
    constexpr int Width = 30;
    const int filled = total > 0 ? std::clamp(done * Width / total, 0, Width) : 0;
    const double seconds = std::chrono::duration<double>(now - stepStart_).count();
    out_ << "\r\033[K[" << std::string(static_cast<size_t>(filled), '#')
         << std::string(static_cast<size_t>(Width - filled), '-') << "] " << done << " von "
         << total;
    if (seconds > 0 && done > 0) {
        out_ << " (" << static_cast<long>(done / seconds) << "/s)";
    }
    out_.flush();
    lineDrawn_ = true;
}

void TConsoleView::HideProgress() {
    ClearProgressLine();
}

void TConsoleView::ClearProgressLine() {
    if (lineDrawn_) {
        out_ << "\r\033[K";
        out_.flush();
        lineDrawn_ = false;
    }
}

} // namespace orvendal
