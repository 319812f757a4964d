// Commands added to the script language from files of their own: one row
// each (CommandExtension in host/script_reader.h), listed here.
#include "host/script_host.h"

namespace {

void RunClasses(ScriptContext& context, std::span<const std::string>) {
    PrintClasses(context.Out());
}

const CommandExtension kExtensions[] = {
    {"classes", "classes", "list the creatable classes", 0, 0, &RunClasses},
};

}  // namespace

std::span<const CommandExtension> CommandExtensions() {
    return kExtensions;
}
