#pragma once
// The console front end's subcommands. Each lives in its own file and registers itself with a
// static TCommand, so adding a command never touches the dispatcher.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvendal::cli {

// Options that stand before the subcommand.
struct TGlobalOptions {
    std::string ProgramDir;           // --program-dir; empty: the executable's folder
    std::optional<std::string> Proxy; // --proxy HOST:PORT or "-"
    std::optional<bool> Confirm;      // --yes / --no; unset: ask on a terminal
};

// A subcommand: returns the process exit code. args are the words after the command name.
using TCommandFn = std::function<int(const TGlobalOptions&, const std::vector<std::string>& args)>;

struct TCommand {
    TCommand(std::string name, std::string synopsis, std::string help, TCommandFn run);
    std::string Name, Synopsis, Help;
    TCommandFn Run;
};

// Registered commands, in name order.
const std::vector<const TCommand*>& Commands();

// True when args holds -h or --help; prints the command's help then.
bool WantsHelp(const TCommand& command, const std::vector<std::string>& args);
// Prints "orvendal-cli: message" to stderr and returns exit code 2 (wrong usage).
int UsageError(const std::string& message);

} // namespace orvendal::cli
