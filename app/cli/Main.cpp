#include "Version.h"
#include "app/cli/Command.h"

#include <algorithm>
#include <iostream>
#include <map>

namespace orvendal::cli {
namespace {

std::map<std::string, const TCommand*>& Registry() {
    static std::map<std::string, const TCommand*> registry;
    return registry;
}

void PrintUsage(std::ostream& out) {
    out << "Aufruf: orvendal-cli [OPTIONEN] BEFEHL [ARGUMENTE...]\n\n"
           "Orvendal bringt Aufträge, Fotos und Listen eines Außendienst-Handhelds zwischen der\n"
           "Desktop-Datenbank, dem angedockten Handheld und dem Server.\n\n"
           "Optionen:\n"
           "  --program-dir ORDNER  Ordner der Programmeinstellungen und der Geräte-\"*.ini\"-\n"
           "                        Dateien (Vorgabe: der Ordner des Programms; für ein\n"
           "                        installiertes Programm PREFIX/etc/orvendal/, im Paket\n"
           "                        /etc/orvendal/)\n"
           "  --proxy HOST:PORT     HTTP-Proxy für diesen Lauf; \"-\" heißt ohne Proxy\n"
           "  --yes, --no           Antwort auf Rückfragen (Vorgabe: im Terminal fragen, sonst "
           "Nein)\n"
           "  -h, --help            dieser Text; BEFEHL --help erklärt einen Befehl\n"
           "  --version             die Version des Programms\n\n"
           "Befehle:\n";
    for (const TCommand* c : Commands()) {
        out << "  " << c->Synopsis << "\n";
    }
    out << "\nExit-Codes:\n"
           "  0  der Vorgang kam ohne Warnung, Fehler und fehlgeschlagenen Schritt bis zu seinem\n"
           "     Ende (exchange: jedes Gerät)\n"
           "  1  sonst: eine Warnung oder ein Fehler, ein fehlgeschlagener Schritt, ein nicht\n"
           "     angeschlossener Handheld, ein Gerät, das es nicht gibt\n"
           "  2  falscher Aufruf\n";
}

} // namespace

TCommand::TCommand(std::string name, std::string synopsis, std::string help, TCommandFn run)
    : Name(std::move(name)), Synopsis(std::move(synopsis)), Help(std::move(help)),
      Run(std::move(run)) {
    Registry()[Name] = this;
}

const std::vector<const TCommand*>& Commands() {
    static std::vector<const TCommand*> list;
    if (list.size() != Registry().size()) {
        list.clear();
        for (const auto& [name, command] : Registry()) {
            list.push_back(command);
        }
    }
    return list;
}

bool WantsHelp(const TCommand& command, const std::vector<std::string>& args) {
    bool help = std::any_of(args.begin(), args.end(),
                            [](const std::string& a) { return a == "-h" || a == "--help"; });
    if (help) {
        std::cout << "Aufruf: orvendal-cli [OPTIONEN] " << command.Synopsis << "\n\n"
                  << command.Help << "\n";
    }
    return help;
}

int UsageError(const std::string& message) {
    std::cerr << "orvendal-cli: " << message << "\n"
              << "Hilfe: 'orvendal-cli --help'.\n";
    return 2;
}

} // namespace orvendal::cli

int main(int argc, char** argv) {
    using namespace orvendal::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    TGlobalOptions options;
    size_t i = 0;
    for (; i < args.size() && args[i].starts_with("-"); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            PrintUsage(std::cout);
            return 0;
        }
        if (a == "--version") {
            std::cout << "orvendal-cli " << ORVENDAL_FILE_VERSION << "\n";
            return 0;
        }
        if (a == "--yes" || a == "--no") {
            options.Confirm = a == "--yes";
        } else if ((a == "--program-dir" || a == "--proxy") && i + 1 < args.size()) {
            (a == "--proxy" ? options.Proxy.emplace() : options.ProgramDir) = args[++i];
        } else {
            return UsageError("unbekannte oder unvollständige Option " + a);
        }
    }
    if (i == args.size()) {
        PrintUsage(std::cerr);
        return 2;
    }
    const std::string name = args[i];
    auto commands = Commands();
    auto it = std::find_if(commands.begin(), commands.end(),
                           [&](const TCommand* c) { return c->Name == name; });
    if (it == commands.end()) {
        return UsageError("unbekannter Befehl " + name);
    }
    std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
    if (WantsHelp(**it, rest)) {
        return 0;
    }
    try {
        return (*it)->Run(options, rest);
    } catch (const std::exception& e) {
        std::cerr << "orvendal-cli: " << e.what() << "\n";
        return 1;
    }
}
