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
                code = UsageError("settings: --key braucht einen nicht leeren Schlüsseltext");
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
                  << " lässt sich nicht entschlüsseln (keine Einstellungsdatei, beschädigt oder "
                     "mit einem "
                     "anderen Schlüssel geschrieben)\n";
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
        std::cerr
            << "orvendal-cli: der Hex-Text ergibt keinen Text (kein Container dieses Schlüssels "
               "oder ein leerer Text)\n";
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

const TCommand command(
    "settings",
    "settings encrypt IN OUT | decrypt IN OUT | show DATEI | encrypt-hex TEXT | "
    "decrypt-hex HEX [--key TEXT]",
    "Schreibt und liest verschlüsselte Einstellungsdateien (BFH-Container aus Zeilen "
    "Schlüssel=Wert).\n"
    "  encrypt IN OUT     verschlüsselt die Textdatei IN (UTF-8, Zeilen Schlüssel=Wert) nach OUT\n"
    "  decrypt IN OUT     entschlüsselt die Einstellungsdatei IN in die Textdatei OUT (UTF-8)\n"
    "  show DATEI         gibt die entschlüsselten Zeilen von DATEI aus\n"
    "  encrypt-hex TEXT   gibt TEXT verschlüsselt als Hex-Text aus (ein codierter Mail-Betreff)\n"
    "  decrypt-hex HEX    gibt den Text eines codierten Betreffs aus\n"
    "  --key TEXT         nimmt TEXT statt des festen Schlüssels des Programms\n"
    "Im Container steht der Text in Windows-1252. Eine Datei oder ein Text, der sich nicht\n"
    "entschlüsseln lässt, endet mit Exit-Code 1, ein falscher Aufruf mit 2.",
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
            return UsageError("settings " + parsed->Action + " braucht " +
                              std::to_string(action.Operands) + " Operand(en)");
        }
        try {
            return action.Run(*parsed);
        } catch (const std::exception& e) {
            std::cerr << "orvendal-cli: " << e.what() << "\n";
            return 1;
        }
    }
    return UsageError(parsed->Action.empty() ? "settings braucht eine Aktion"
                                             : "settings: unbekannte Aktion " + parsed->Action);
}

} // namespace
} // namespace orvendal::cli
