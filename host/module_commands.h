#pragma once
// The host's module commands: registration and the type library.
//   tallykit register | unregister   (register also names the help viewer
//                                      beside the module, if none is named)
//   tallykit typelib [--json]
#include <optional>
#include <ostream>
#include <span>
#include <string_view>

// Runs the command named by `args` (the words after the program name) when it
// is one of the module commands and returns its exit status: 0 on success, 1
// when registration failed (the code is printed), 2 for wrong arguments.
// nullopt when `args` names no module command.
std::optional<int> RunModuleCommand(std::span<const std::string_view> args, std::ostream& out,
                                    std::ostream& err);

// Usage lines of the module commands, in the style of `tallykit --help`.
void PrintModuleUsage(std::ostream& out);
