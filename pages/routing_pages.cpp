// Pages of the routing blocks: mux, demux, bit pack and unpack, and the
// general and table pages of the lookup and switch blocks.
#include "pages/routing_pages.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pages/page_registry.h"
#include "platform/desktop.h"
#include "platform/paths.h"
#include "platform/safearray.h"

namespace {

// --- text helpers ----------------------------------------------------------------

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimRight(s);
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    return s;
}

// Whether strtod reads all of `s` as one number.
bool IsWholeNumber(std::string_view s) {
    std::string text(s);
    if (text.empty()) return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

// The lines of a list file, read in pieces of at most 254 characters as the
// blocks read them, trailing blanks removed; with a delimiter only the lines
// holding it.
std::string ListFileText(const std::string& path, char delimiter) {
    std::string text;
    FILE* file = OpenPlatformFile(path, "rt");
    if (file == nullptr) return text;
    char piece[255];
    while (std::fgets(piece, sizeof piece, file) != nullptr) {
        std::string_view line = TrimRight(piece);
        if (delimiter != 0 && line.find(delimiter) == std::string_view::npos) continue;
        text.append(line).append("\r\n");
    }
    std::fclose(file);
    return text;
}

// Element `offset` (storage order) as the page shows it.
std::string ElementText(const SafeArray& array, size_t offset) {
    Variant element = array.ElementAt(offset);
    if (element.vt() == VT_BSTR) return element.bstrVal();
    Variant number;
    double value = SUCCEEDED(VariantChangeType(&number, &element, 0, VT_R8)) ? number.dblVal() : 0;
    char text[40];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A new array of `values` as doubles (all numbers) or strings, laid out by `bounds`.
Variant ArrayOf(const std::vector<std::string>& values, uint32_t dims,
                const SAFEARRAYBOUND* bounds) {
    bool numeric = true;
    for (const std::string& v : values)
        numeric = numeric && IsWholeNumber(v);
    SafeArrayPtr array = SafeArrayCreate(numeric ? VT_R8 : VT_BSTR, dims, bounds);
    if (!array) return Variant::Str("");
    for (size_t i = 0; i < values.size(); ++i) {
        array->SetElementAt(i, numeric ? Variant::R8(std::strtod(values[i].c_str(), nullptr))
                                       : Variant::Str(values[i]));
    }
    return Variant::Array(std::move(array));
}

}  // namespace

std::string LookupTableText(const Variant& table, char delimiter) {
    if (table.vt() == VT_BSTR) {
        return table.bstrVal().empty() ? std::string() : ListFileText(table.bstrVal(), delimiter);
    }
    const SafeArray* array = table.IsArray() ? table.parray() : nullptr;
    if (array == nullptr || array->Dims() != 2 || array->Bound(0).cElements < 2) return {};
    std::string text;
    uint32_t keys = array->Bound(0).cElements;
    for (uint32_t entry = 0; entry < array->Bound(1).cElements; ++entry) {
        text += ElementText(*array, size_t{entry} * keys);
        text += delimiter;
        text += ElementText(*array, size_t{entry} * keys + 1);
        text += "\r\n";
    }
    return text;
}

Variant LookupTableFromText(std::string_view text, char delimiter) {
    std::vector<std::string> cells;  // key, output, key, output...
    for (std::string_view line : Lines(text)) {
        size_t split = line.find(delimiter);
        if (split == std::string_view::npos) continue;
        cells.emplace_back(Trim(line.substr(0, split)));
        cells.emplace_back(Trim(line.substr(split + 1)));
    }
    if (cells.empty()) return Variant::Str("");
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {static_cast<uint32_t>(cells.size() / 2), 0}};
    return ArrayOf(cells, 2, bounds);
}

std::string SwitchListText(const Variant& list) {
    if (list.vt() == VT_BSTR)
        return list.bstrVal().empty() ? std::string() : ListFileText(list.bstrVal(), 0);
    const SafeArray* array = list.IsArray() ? list.parray() : nullptr;
    if (array == nullptr) return {};
    std::string text;
    for (size_t i = 0; i < array->Count(); ++i)
        text += ElementText(*array, i) + "\r\n";
    return text;
}

Variant SwitchListFromText(std::string_view text, char delimiter) {
    constexpr size_t kMaxCases = 8;
    std::vector<std::string> values;
    for (std::string_view line : Lines(text)) {
        line = TrimRight(line);
        while (!line.empty() && values.size() < kMaxCases) {
            size_t split = line.find(delimiter);
            values.emplace_back(Trim(line.substr(0, split)));
            line = split == std::string_view::npos ? std::string_view() : line.substr(split + 1);
        }
    }
    if (values.empty()) return Variant::Str("");
    SAFEARRAYBOUND bound{static_cast<uint32_t>(values.size()), 0};
    return ArrayOf(values, 1, &bound);
}

namespace {

// --- pages ---------------------------------------------------------------------

constexpr PageField kMux[] = {
    EditField("Input 0", "Input0", FieldKind::String),
    EditField("Input 1", "Input1", FieldKind::String),
    EditField("Input 2", "Input2", FieldKind::String),
    EditField("Input 3", "Input3", FieldKind::String),
    EditField("Input 4", "Input4", FieldKind::String),
    EditField("Input 5", "Input5", FieldKind::String),
    EditField("Input 6", "Input6", FieldKind::String),
    EditField("Input 7", "Input7", FieldKind::String),
    EditField("Index", "InputIndex", FieldKind::Long).Range(0, 7).Spin(),
};
constexpr PageField kDemux[] = {
    EditField("Input Value", "Value", FieldKind::String),
    EditField("Output Index", "OutputIndex", FieldKind::Long).Range(0, 7).Spin(),
};
constexpr PageField kBitPack[] = {
    EditField("Input 0", "Input0", FieldKind::Short).Range(0, 1),
    EditField("Input 1", "Input1", FieldKind::Short).Range(0, 1),
    EditField("Input 2", "Input2", FieldKind::Short).Range(0, 1),
    EditField("Input 3", "Input3", FieldKind::Short).Range(0, 1),
    EditField("Input 4", "Input4", FieldKind::Short).Range(0, 1),
    EditField("Input 5", "Input5", FieldKind::Short).Range(0, 1),
    EditField("Input 6", "Input6", FieldKind::Short).Range(0, 1),
    EditField("Input 7", "Input7", FieldKind::Short).Range(0, 1),
    NoteField("Note: Input values must be 0 or 1"),
};
constexpr PageField kBitUnpack[] = {
    EditField("Input Byte", "Input", FieldKind::Short).Range(0, 255),
};

constexpr std::string_view kDelimiters[] = {
    "44 - Comma ( , )",      "9 - Tab",          "32 - Space ( )",
    "59 - Semicolon ( ; )",  "58 - Colon ( : )", "47 - Foreslash ( / )",
    "92 - Backslash ( \\ )",
};
constexpr int32_t kDelimiterCodes[] = {44, 9, 32, 59, 58, 47, 92};

// The general page of a list-driven block; the two differ by the button's caption.
constexpr std::array<PageField, 4> GeneralFields(std::string_view browse) {
    return {
        EditField("File Name for Lookup Table", "LookupTable", FieldKind::String).OnlyStrings(),
        ButtonField(browse),
        CheckBoxField("Check here for lookup to be case sensitive", "CaseSensitive"),
        ListField("Delimiter that separates values within a line of the file", "Delimiter",
                  kDelimiters)
            .Codes(kDelimiterCodes),
    };
}
constexpr auto kLookupGeneral = GeneralFields("&Browse...");
constexpr auto kSwitchGeneral = GeneralFields("Browse...");

// The browse button picks an existing list file into the file field.
class ListGeneralPage : public COlePropertyPage {
  public:
    explicit ListGeneralPage(std::span<const PageField> fields)
        : COlePropertyPage("General", {fields.begin(), fields.end()}) {}

    void Press(size_t field) override {
        IDesktop* desktop = Desktop();
        if (Fields()[field].kind != FieldKind::Button || desktop == nullptr) return;
        std::string path;
        if (desktop->GetOpenFileName(desktop->GetSafeOwner(),
                                     "Text files (*.csv, *.txt)|*.csv;*.txt|All files (*.*)|*.*||",
                                     "csv", &path)) {
            Edit(0, path);
        }
    }
};

constexpr PageField kTableText[] = {
    MakeField("Type Ctrl-Enter for a new line", {}, FieldKind::Text),
};

// The table of a list-driven block as text, with the block's own delimiter.
class ListTablePage : public COlePropertyPage {
  public:
    using ToText = std::string (*)(const Variant& table, char delimiter);
    using FromText = Variant (*)(std::string_view text, char delimiter);
    ListTablePage(ToText toText, FromText fromText)
        : COlePropertyPage("Table", {std::begin(kTableText), std::end(kTableText)}),
          toText_(toText),
          fromText_(fromText) {}

    void Load(IDispatch* object) override {
        COlePropertyPage::Load(object);
        Variant table;
        if (FAILED(ReadProperty("LookupTable", &table))) table.Clear();
        Show(0, toText_(table, Delimiter()));
    }

  protected:
    std::optional<PageMessage> WriteFields() override {
        if (!Changed(0)) return std::nullopt;
        if (FAILED(WriteProperty("LookupTable", fromText_(Text(0), Delimiter()))))
            return PageMessage{"The value of LookupTable was not accepted.", MB_ICONEXCLAMATION, 0};
        return std::nullopt;
    }

  private:
    char Delimiter() const {
        Variant value, code;
        if (FAILED(ReadProperty("Delimiter", &value)) ||
            FAILED(VariantChangeType(&code, &value, 0, VT_I4)))
            return ',';
        return static_cast<char>(code.lVal());
    }
    ToText toText_;
    FromText fromText_;
};

std::string SwitchText(const Variant& list, char) {
    return SwitchListText(list);
}

const PageRow kRows[] = {
    {"COVMuxPropPage", "General", kMux},
    {"COVDemuxPropPage", "General", kDemux},
    {"COVBitPackPropPage", "General", kBitPack},
    {"COVBitUnpackPropPage", "General", kBitUnpack},
    {"COVLookupPropPage",
     "General",
     {},
     []() -> std::unique_ptr<COlePropertyPage> {
         return std::make_unique<ListGeneralPage>(kLookupGeneral);
     }},
    {"COVSwitchPropPage",
     "General",
     {},
     []() -> std::unique_ptr<COlePropertyPage> {
         return std::make_unique<ListGeneralPage>(kSwitchGeneral);
     }},
    {"COVLookupListPropPage",
     "Table",
     {},
     []() -> std::unique_ptr<COlePropertyPage> {
         return std::make_unique<ListTablePage>(&LookupTableText, &LookupTableFromText);
     }},
    {"COVSwitchListPropPage",
     "Table",
     {},
     []() -> std::unique_ptr<COlePropertyPage> {
         return std::make_unique<ListTablePage>(&SwitchText, &SwitchListFromText);
     }},
};

}  // namespace

std::span<const PageRow> RoutingPages() {
    return kRows;
}
