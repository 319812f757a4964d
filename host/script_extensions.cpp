// Commands added to the script language from files of their own: one row
// each (CommandExtension in host/script_reader.h), listed here.
#include <sstream>

#include "host/host_files.h"
#include "host/page_commands.h"
#include "host/plot.h"
#include "host/script_host.h"

namespace {

void RunClasses(ScriptContext& context, std::span<const std::string>) {
    PrintClasses(context.Out());
}

// plot OBJ.MEMBER FILE: the member's array as an SVG chart, titled by the member.
void RunPlot(ScriptContext& context, std::span<const std::string> words) {
    if (!context.FileAccess()) return context.Fail("file access is off");
    Variant value;
    if (!context.Read(words[0], &value)) return;
    std::ostringstream svg;
    std::string why;
    if (!WritePlotSvg(value, words[0], svg, &why)) return context.Fail("cannot plot " + why);
    if (!WriteHostFile(words[1], svg.str(), &why)) context.Fail("cannot write " + why);
}

const CommandExtension kExtensions[] = {
    {"classes", "classes", "list the creatable classes", 0, 0, &RunClasses},
    {"plot", "plot OBJ.MEMBER FILE", "draw an array-valued member as an SVG chart into FILE", 2, 2,
     &RunPlot},
    {"pages", "pages OBJ", "open the block's property frame (needs a display)", 1, 1, &RunPages},
    {"gallery", "gallery DIR", "render every property page and about box as PNG files into DIR", 1,
     1, &RunGallery},
};

}  // namespace

std::span<const CommandExtension> CommandExtensions() {
    return kExtensions;
}
