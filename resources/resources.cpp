#include "resources/resources.h"

#include <charconv>
#include <cstring>
#include <map>
#include <string_view>

namespace {

// The pictures are kept as XPM files, which are C source as they stand: each
// is an array of strings named after its file.
#include "resources/bitmaps/001_base_math.xpm"
#include "resources/bitmaps/004_alarm.xpm"
#include "resources/bitmaps/005_mux.xpm"
#include "resources/bitmaps/006_demux.xpm"
#include "resources/bitmaps/007_switch.xpm"
#include "resources/bitmaps/008_lookup.xpm"
#include "resources/bitmaps/009_bit_pack.xpm"
#include "resources/bitmaps/010_bit_unpack.xpm"
#include "resources/bitmaps/011_add.xpm"
#include "resources/bitmaps/013_random.xpm"
#include "resources/bitmaps/014_subtract.xpm"
#include "resources/bitmaps/015_multiply.xpm"
#include "resources/bitmaps/016_modulus.xpm"
#include "resources/bitmaps/017_divide.xpm"
#include "resources/bitmaps/018_and.xpm"
#include "resources/bitmaps/019_or.xpm"
#include "resources/bitmaps/020_not.xpm"
#include "resources/bitmaps/021_xor.xpm"
#include "resources/bitmaps/022_nor.xpm"
#include "resources/bitmaps/023_nand.xpm"
#include "resources/bitmaps/024_equality.xpm"
#include "resources/bitmaps/025_not_equal.xpm"
#include "resources/bitmaps/026_greater_than.xpm"
#include "resources/bitmaps/027_greater_than_equal.xpm"
#include "resources/bitmaps/028_less_than.xpm"
#include "resources/bitmaps/029_less_than_equal.xpm"
#include "resources/bitmaps/030_if_then_else.xpm"
#include "resources/bitmaps/031_substring.xpm"
#include "resources/bitmaps/032_formula.xpm"
#include "resources/bitmaps/040_fft.xpm"
#include "resources/bitmaps/041_fir_filter.xpm"
#include "resources/bitmaps/042_collector.xpm"
#include "resources/bitmaps/043_set_element.xpm"
#include "resources/bitmaps/044_get_element.xpm"
#include "resources/bitmaps/045_concat_array.xpm"
#include "resources/bitmaps/046_sub_array.xpm"
#include "resources/bitmaps/047_pack.xpm"
#include "resources/bitmaps/048_unpack.xpm"
#include "resources/bitmaps/049_function_generator.xpm"
#include "resources/bitmaps/050_statistics.xpm"
#include "resources/bitmaps/051_histogram.xpm"
#include "resources/bitmaps/060_abs.xpm"
#include "resources/bitmaps/061_sqrt.xpm"
#include "resources/bitmaps/062_square.xpm"
#include "resources/bitmaps/063_log.xpm"
#include "resources/bitmaps/064_ln.xpm"
#include "resources/bitmaps/065_math_function.xpm"
#include "resources/bitmaps/066_power.xpm"
#include "resources/bitmaps/067_sort.xpm"
#include "resources/bitmaps/icon_16.xpm"
#include "resources/bitmaps/icon_32.xpm"

constexpr BitmapResource kBitmaps[] = {
    {1, "base_math", base_math_xpm},
    {4, "alarm", alarm_xpm},
    {5, "mux", mux_xpm},
    {6, "demux", demux_xpm},
    {7, "switch", switch_xpm},
    {8, "lookup", lookup_xpm},
    {9, "bit_pack", bit_pack_xpm},
    {10, "bit_unpack", bit_unpack_xpm},
    {11, "add", add_xpm},
    {13, "random", random_xpm},
    {14, "subtract", subtract_xpm},
    {15, "multiply", multiply_xpm},
    {16, "modulus", modulus_xpm},
    {17, "divide", divide_xpm},
    {18, "and", and_xpm},
    {19, "or", or_xpm},
    {20, "not", not_xpm},
    {21, "xor", xor_xpm},
    {22, "nor", nor_xpm},
    {23, "nand", nand_xpm},
    {24, "equality", equality_xpm},
    {25, "not_equal", not_equal_xpm},
    {26, "greater_than", greater_than_xpm},
    {27, "greater_than_equal", greater_than_equal_xpm},
    {28, "less_than", less_than_xpm},
    {29, "less_than_equal", less_than_equal_xpm},
    {30, "if_then_else", if_then_else_xpm},
    {31, "substring", substring_xpm},
    {32, "formula", formula_xpm},
    {40, "fft", fft_xpm},
    {41, "fir_filter", fir_filter_xpm},
    {42, "collector", collector_xpm},
    {43, "set_element", set_element_xpm},
    {44, "get_element", get_element_xpm},
    {45, "concat_array", concat_array_xpm},
    {46, "sub_array", sub_array_xpm},
    {47, "pack", pack_xpm},
    {48, "unpack", unpack_xpm},
    {49, "function_generator", function_generator_xpm},
    {50, "statistics", statistics_xpm},
    {51, "histogram", histogram_xpm},
    {60, "abs", abs_xpm},
    {61, "sqrt", sqrt_xpm},
    {62, "square", square_xpm},
    {63, "log", log_xpm},
    {64, "ln", ln_xpm},
    {65, "math_function", math_function_xpm},
    {66, "power", power_xpm},
    {67, "sort", sort_xpm},
};

}  // namespace

std::span<const BitmapResource> BitmapResources() {
    return kBitmaps;
}

std::optional<CBitmap> ParseXpm(std::span<const char* const> lines) {
    constexpr int kMaxSide = 4096;
    if (lines.empty() || lines[0] == nullptr) return std::nullopt;
    int width = 0, height = 0, colours = 0, perPixel = 0;
    {
        std::string_view header = lines[0];
        int* fields[] = {&width, &height, &colours, &perPixel};
        const char* at = header.data();
        const char* end = at + header.size();
        for (int* field : fields) {
            while (at < end && *at == ' ')
                ++at;
            auto [next, error] = std::from_chars(at, end, *field);
            if (error != std::errc()) return std::nullopt;
            at = next;
        }
    }
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || colours < 1 ||
        perPixel < 1 || perPixel > 4 || lines.size() != 1 + size_t(colours) + size_t(height)) {
        return std::nullopt;
    }
    std::map<std::string_view, Pixel> palette;
    for (int i = 1; i <= colours; ++i) {
        if (lines[i] == nullptr) return std::nullopt;
        std::string_view line = lines[i];
        if (line.size() != size_t(perPixel) + 10 || line.substr(perPixel, 4) != " c #")
            return std::nullopt;
        Pixel pixel = 0;
        auto [next, error] =
            std::from_chars(line.data() + perPixel + 4, line.data() + line.size(), pixel, 16);
        if (error != std::errc() || next != line.data() + line.size()) return std::nullopt;
        palette[line.substr(0, perPixel)] = pixel;
    }
    CBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        const char* row = lines[1 + colours + y];
        if (row == nullptr || std::strlen(row) != size_t(width) * size_t(perPixel))
            return std::nullopt;
        for (int x = 0; x < width; ++x) {
            auto colour = palette.find(std::string_view(row + x * perPixel, perPixel));
            if (colour == palette.end()) return std::nullopt;
            bitmap.Set(x, y, colour->second);
        }
    }
    return bitmap;
}

std::optional<CBitmap> LoadBitmapResource(int id) {
    // Read once: the pictures are drawn on every repaint of every block.
    static const std::map<int, CBitmap> loaded = [] {
        std::map<int, CBitmap> bitmaps;
        for (const BitmapResource& r : kBitmaps) {
            if (auto bitmap = ParseXpm(r.xpm)) bitmaps.emplace(r.id, std::move(*bitmap));
        }
        return bitmaps;
    }();
    auto found = loaded.find(id);
    if (found == loaded.end()) return std::nullopt;
    return found->second;
}

const CBitmap* LoadModuleIcon(int size) {
    static const std::optional<CBitmap> large = ParseXpm(module_icon_32_xpm);
    static const std::optional<CBitmap> small = ParseXpm(module_icon_16_xpm);
    const std::optional<CBitmap>* icon = size == 32 ? &large : size == 16 ? &small : nullptr;
    return icon != nullptr && *icon ? &**icon : nullptr;
}
