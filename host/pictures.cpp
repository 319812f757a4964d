#include "host/pictures.h"

#include <cstdio>
#include <ostream>

#include "module/class_table.h"
#include "resources/resources.h"

namespace {

constexpr int kSheetScale = 6;   // a 16-pixel picture becomes 96 pixels
constexpr int kCellWidth = 180;  // room for the longest class name
constexpr int kCellHeight = 140;
constexpr int kColumns = 7;

std::string Colour(Pixel pixel) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(pixel & 0xFFFFFF));
    return text;
}

// One rectangle per run of equal pixels in a row keeps the file small.
void WritePixels(const CBitmap& bitmap, int x0, int y0, int scale, std::ostream& out) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width();) {
            int run = 1;
            while (x + run < bitmap.Width() && bitmap.At(x + run, y) == bitmap.At(x, y))
                ++run;
            out << "<rect x=\"" << x0 + x * scale << "\" y=\"" << y0 + y * scale << "\" width=\""
                << run * scale << "\" height=\"" << scale << "\" fill=\"" << Colour(bitmap.At(x, y))
                << "\"/>\n";
            x += run;
        }
    }
}

// A picture magnified `scale` times (missing: an empty red frame) with its
// caption under it, in cell `index` of the sheet.
void WriteCell(int index, const CBitmap* picture, int scale, const std::string& caption,
               std::ostream& out) {
    constexpr int kArea = 16 * kSheetScale;
    int x = (index % kColumns) * kCellWidth, y = (index / kColumns) * kCellHeight;
    int top = y + 12;
    if (picture != nullptr) {
        WritePixels(*picture, x + (kCellWidth - picture->Width() * scale) / 2,
                    top + (kArea - picture->Height() * scale) / 2, scale, out);
    } else {
        out << "<rect x=\"" << x + (kCellWidth - kArea) / 2 << "\" y=\"" << top << "\" width=\""
            << kArea << "\" height=\"" << kArea << "\" fill=\"none\" stroke=\"#FF0000\"/>\n";
    }
    out << "<text x=\"" << x + kCellWidth / 2 << "\" y=\"" << top + kArea + 20
        << "\" text-anchor=\"middle\">" << caption << "</text>\n";
}

}  // namespace

void WriteBitmapSvg(const CBitmap& bitmap, int scale, std::ostream& out) {
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << bitmap.Width() * scale
        << "\" height=\"" << bitmap.Height() * scale << "\" shape-rendering=\"crispEdges\">\n";
    WritePixels(bitmap, 0, 0, scale, out);
    out << "</svg>\n";
}

void WritePictureSheetSvg(std::ostream& out) {
    std::span<const ClassEntry> classes = ClassTable();
    const int cells = static_cast<int>(classes.size()) + 2;
    const int rows = (cells + kColumns - 1) / kColumns;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kColumns * kCellWidth
        << "\" height=\"" << rows * kCellHeight
        << "\" shape-rendering=\"crispEdges\" font-family=\"sans-serif\" font-size=\"13\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#F4F4F4\"/>\n";
    int index = 0;
    for (const ClassEntry& c : classes) {
        std::optional<CBitmap> picture = LoadBitmapResource(c.bitmap);
        WriteCell(index++, picture ? &*picture : nullptr, kSheetScale,
                  std::to_string(c.bitmap) + " " + std::string(c.className), out);
    }
    // The large icon at half the magnification, so that both fill a cell alike.
    WriteCell(index++, LoadModuleIcon(32), kSheetScale / 2, "module icon 32", out);
    WriteCell(index, LoadModuleIcon(16), kSheetScale, "module icon 16", out);
    out << "</svg>\n";
}
