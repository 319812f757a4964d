// Commands added to the script language from files of their own: one row
// each (CommandExtension in host/script_reader.h), listed here.
#include <algorithm>
#include <sstream>
#include <string>

#include "framework/block_picture.h"
#include "host/host_files.h"
#include "host/page_commands.h"
#include "host/pictures.h"
#include "host/plot.h"
#include "host/script_host.h"
#include "module/class_table.h"

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

// pictures FILE: the sheet of every block picture.
void RunPictures(ScriptContext& context, std::span<const std::string> words) {
    if (!context.FileAccess()) return context.Fail("file access is off");
    std::ostringstream svg;
    WritePictureSheetSvg(svg);
    std::string why;
    if (!WriteHostFile(words[0], svg.str(), &why)) context.Fail("cannot write " + why);
}

// A surface side given to `draw`: a whole number from 1 to 4096.
bool ParseSide(const std::string& word, int* side) {
    size_t used = 0;
    try {
        *side = std::stoi(word, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == word.size() && *side >= 1 && *side <= 4096;
}

// draw OBJ FILE [WIDTH HEIGHT]: what the block paints, magnified so that the
// image is at least 256 pixels across.
void RunDraw(ScriptContext& context, std::span<const std::string> words) {
    if (!context.FileAccess()) return context.Fail("file access is off");
    if (words.size() == 3) return context.Fail("draw takes both WIDTH and HEIGHT, or neither");
    int width = 16, height = 16;
    if (words.size() == 4 && (!ParseSide(words[2], &width) || !ParseSide(words[3], &height))) {
        return context.Fail("WIDTH and HEIGHT are whole numbers from 1 to 4096");
    }
    COleControl* control = context.Object(words[0]);
    if (control == nullptr) return;
    std::ostringstream svg;
    WriteBitmapSvg(DrawControl(*control, width, height), std::max(1, 256 / std::max(width, height)),
                   svg);
    std::string why;
    if (!WriteHostFile(words[1], svg.str(), &why)) context.Fail("cannot write " + why);
}

// pagefor OBJ.MEMBER: the property page that edits the member, as a host that
// browses properties one at a time asks for it.
void RunPageFor(ScriptContext& context, std::span<const std::string> words) {
    const std::string& path = words[0];
    const size_t dot = path.find('.');
    if (dot == std::string::npos) return context.Fail("pagefor takes OBJ.MEMBER");
    COleControl* control = context.Object(path.substr(0, dot));
    if (control == nullptr) return;
    DISPID dispid = DISPID_UNKNOWN;
    if (FAILED(control->GetIDsOfNames(path.substr(dot + 1), &dispid)))
        return context.Fail(path + ": no such member");
    std::string pageId;
    BOOL optional = FALSE;
    if (FAILED(control->MapPropertyToPage(dispid, &pageId, &optional))) {
        context.Out() << path << ": default mapping\n";
        return;
    }
    const PageEntry* page = FindPage(pageId);
    context.Out() << path << ": " << (page != nullptr ? page->className : std::string_view(pageId))
                  << ' ' << pageId << (optional ? ", optional" : "") << '\n';
}

const CommandExtension kExtensions[] = {
    {"classes", "classes", "list the creatable classes", 0, 0, &RunClasses},
    {"plot", "plot OBJ.MEMBER FILE", "draw an array-valued member as an SVG chart into FILE", 2, 2,
     &RunPlot},
    {"pictures", "pictures FILE",
     "write every block picture, magnified and named, as SVG into FILE", 1, 1, &RunPictures},
    {"draw", "draw OBJ FILE [WIDTH HEIGHT]",
     "paint OBJ onto a WIDTH by HEIGHT surface (16 by 16) and write it as SVG into FILE", 2, 4,
     &RunDraw},
    {"pagefor", "pagefor OBJ.MEMBER",
     "name the property page that edits the member, or the default mapping", 1, 1, &RunPageFor},
    {"pages", "pages OBJ", "open the block's property frame (needs a display)", 1, 1, &RunPages},
    {"gallery", "gallery DIR", "render every property page and about box as PNG files into DIR", 1,
     1, &RunGallery},
};

}  // namespace

std::span<const CommandExtension> CommandExtensions() {
    return kExtensions;
}
