// orvendal-cli settings: writes and reads enciphered settings files and coded texts, the tool
// administrators configure devices with.

#include "app/cli/Command.h"
#include "protect/Ansi.h"
#include "protect/Crypt.h"
#include "protect/KeyList.h"

#include <iostream>
#include <optional>

namespace orvendal::cli {
namespace {

struct TSettingsArgs {
    std::string Action;
    std::vector<std::string> Operands;
    std::string Key; // Windows-1252; empty: the fixed key
};

// Splits off --key TEXT; nullopt after printing the usage error into code.
std::optional<TSettingsArgs> Parse(const std::vector<std::string>& args, int& code) {
    TSettingsArgs parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--key") {
            if (i + 1 == args.size() || args[i + 1].empty()) {
                code = UsageError("settings: --key needs a non-empty key text");
                return std::nullopt;
            }
            parsed.Key = Utf8ToAnsi(args[++i]);
        } else if (parsed.Action.empty()) {
            parsed.Action = args[i];
        } else {
            parsed.Operands.push_back(args[i]);
        }
    }
    return parsed;
}

// The deciphered lines of a settings file in UTF-8; nullopt after a message on stderr.
std::optional<std::vector<std::string>> ReadSettings(const std::string& fileName,
                                                     const std::string& key) {
    TMemoryStream container;
    container.LoadFromFile(fileName);
    std::vector<std::string> lines;
    if (!DecryptLines(container, lines, key)) {
        std::cerr << "orvendal-cli: " << fileName
                  << " does not decipher (no settings file, damaged, or made with another key)\n";
        return std::nullopt;
    }
    for (std::string& line : lines) {
        line = AnsiToUtf8(line);
    }
    return lines;
}

// The file's UTF-8 lines (an editor's byte order mark dropped) enciphered as Windows-1252; a
// character that Windows-1252 cannot hold stops it with the line named.
int Encrypt(const TSettingsArgs& a) {
    TMemoryStream plain, container;
    plain.LoadFromFile(a.Operands[0]);
    std::string_view text(reinterpret_cast<const char*>(plain.Bytes().data()), plain.Size());
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string problem;
        if (!Utf8ToAnsiExact(std::string(lines[i]), lines[i], problem)) {
            std::cerr << "orvendal-cli: " << a.Operands[0] << ", Zeile " << i + 1 << ": " << problem
                      << "\n";
            return 1;
        }
    }
    EncryptLines(lines, container, a.Key);
    container.SaveToFile(a.Operands[1]);
    return 0;
}

int Decrypt(const TSettingsArgs& a) {
    auto lines = ReadSettings(a.Operands[0], a.Key);
    if (!lines) {
        return 1;
    }
    TMemoryStream plain;
    for (const std::string& line : *lines) {
        plain.WriteString(line + "\n");
    }
    plain.SaveToFile(a.Operands[1]);
    return 0;
}

int Show(const TSettingsArgs& a) {
    auto lines = ReadSettings(a.Operands[0], a.Key);
    if (!lines) {
        return 1;
    }
    for (const std::string& line : *lines) {
        std::cout << line << "\n";
    }
    return 0;
}

int EncryptHex(const TSettingsArgs& a) {
    std::string hex;
    EncryptTextToHex(Utf8ToAnsi(a.Operands[0]), hex, a.Key);
    std::cout << hex << "\n";
    return 0;
}

int DecryptHex(const TSettingsArgs& a) {
    std::string text;
    DecryptHexText(a.Operands[0], text, a.Key);
    if (text.empty()) {
        std::cerr << "orvendal-cli: the hex text deciphers to no text (not a container of "
                     "this key, or an empty text)\n";
        return 1;
    }
    std::cout << AnsiToUtf8(text) << "\n";
    return 0;
}

struct TAction {
    const char* Name;
    size_t Operands;
    int (*Run)(const TSettingsArgs&);
};

const TAction Actions[] = {
    {"encrypt", 2, Encrypt},        {"decrypt", 2, Decrypt},        {"show", 1, Show},
    {"encrypt-hex", 1, EncryptHex}, {"decrypt-hex", 1, DecryptHex},
};

int RunSettings(const TGlobalOptions&, const std::vector<std::string>& args);

const TCommand
    command("settings",
            "settings encrypt IN OUT | decrypt IN OUT | show FILE | encrypt-hex TEXT | "
            "decrypt-hex HEX [--key TEXT]",
            "Writes and reads enciphered settings files (BFH containers of key=value lines).\n"
            "  encrypt IN OUT     enciphers the text file IN (UTF-8 key=value lines) into OUT\n"
            "  decrypt IN OUT     deciphers the settings file IN into the text file OUT (UTF-8)\n"
            "  show FILE          prints the deciphered lines of FILE\n"
            "  encrypt-hex TEXT   prints TEXT enciphered as lower-case hex (a coded mail subject)\n"
            "  decrypt-hex HEX    prints the text of a coded subject\n"
            "  --key TEXT         uses TEXT instead of the program's fixed key\n"
            "Inside the container the text is Windows-1252. A file or text that does not decipher\n"
            "ends with exit code 1, wrong usage with 2.",
            RunSettings);

int RunSettings(const TGlobalOptions&, const std::vector<std::string>& args) {
    if (WantsHelp(command, args)) {
        return 0;
    }
    int code = 0;
    auto parsed = Parse(args, code);
    if (!parsed) {
        return code;
    }
    for (const TAction& action : Actions) {
        if (parsed->Action != action.Name) {
            continue;
        }
        if (parsed->Operands.size() != action.Operands) {
            return UsageError("settings " + parsed->Action + " takes " +
                              std::to_string(action.Operands) + " operand(s)");
        }
        try {
            return action.Run(*parsed);
        } catch (const std::exception& e) {
            std::cerr << "orvendal-cli: " << e.what() << "\n";
            return 1;
        }
    }
    return UsageError(parsed->Action.empty() ? "settings needs an action"
                                             : "settings: unknown action " + parsed->Action);
}

} // namespace
} // namespace orvendal::cli
