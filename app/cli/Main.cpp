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
    out << "Usage: orvendal-cli [OPTIONS] COMMAND [ARGS...]\n\n"
           "Orvendal moves a field-service handheld's jobs, photos and lists between the\n"
           "desktop database, the docked handheld and the server.\n\n"
           "Options:\n"
           "  --program-dir DIR   folder with the program settings and the device \"*.ini\" files\n"
           "                      (default: the folder of the executable)\n"
           "  --proxy HOST:PORT   HTTP proxy for this run; \"-\" means no proxy\n"
           "  --yes, --no         answer for confirmations (default: ask on a terminal, else No)\n"
           "  -h, --help          this text; COMMAND --help explains one command\n"
           "  --version           the program's version\n\n"
           "Commands:\n";
    for (const TCommand* c : Commands()) {
        out << "  " << c->Synopsis << "\n";
    }
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
        std::cout << "Usage: orvendal-cli [OPTIONS] " << command.Synopsis << "\n\n"
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
