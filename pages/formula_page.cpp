#include "pages/formula_page.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "formula/math_formula.h"
#include "pages/page_registry.h"
#include "platform/desktop.h"

// --- the grid --------------------------------------------------------------------

FormulaGrid::FormulaGrid() {
    for (int i = 0; i < kRows; ++i)
        rows_[i].label = rows_[i].name = "Input" + std::to_string(i + 1);
}

std::string FormulaGrid::SanitizeName(std::string_view text) {
    std::string name;
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') name += c;
    }
    return name;
}

std::string FormulaGrid::FormatValue(double value) {
    char text[400];
    std::snprintf(text, sizeof text, "%lf", value);
    return text;
}

void FormulaGrid::Open(std::string text) {
    editing_ = true;
    editor_ = std::move(text);
}

std::optional<PageMessage> FormulaGrid::Commit() {
    if (!editing_) return std::nullopt;
    Row& row = rows_[current_];
    if (column_ == kValue) {
        row.value = std::strtod(editor_.c_str(), nullptr);
    } else {
        std::string name = SanitizeName(editor_);
        if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
            if (IDesktop* desktop = Desktop()) desktop->MessageBeep();
            return PageMessage{"Variable names cannot begin with a number!", MB_OK, 0,
                               "Formula Properties"};
        }
        row.name = std::move(name);
    }
    editing_ = false;
    editor_.clear();
    return std::nullopt;
}

std::optional<PageMessage> FormulaGrid::Click(int row, int x) {
    if (auto refused = Commit()) return refused;
    if (row < 0 || row >= kRows) return std::nullopt;
    current_ = row;
    column_ = x < kLabelWidth + kNameWidth ? kName : kValue;
    return std::nullopt;
}

std::optional<PageMessage> FormulaGrid::Press(Key key, std::string_view typed) {
    switch (key) {
        case Key::Left:
        case Key::Right:
            if (!editing_) column_ = key == Key::Left ? kName : kValue;
            return std::nullopt;
        case Key::Up:
        case Key::Down:
        case Key::Home:
        case Key::End: {
            if (auto refused = Commit()) return refused;
            if (key == Key::Up && current_ > 0) --current_;
            if (key == Key::Down && current_ < kRows - 1) ++current_;
            if (key == Key::Home) current_ = 0;
            if (key == Key::End) current_ = kRows - 1;
            return std::nullopt;
        }
        case Key::Escape:
            editing_ = false;
            editor_.clear();
            return std::nullopt;
        case Key::Enter:
            if (editing_) return Commit();
            Open(column_ == kName ? rows_[current_].name : FormatValue(rows_[current_].value));
            return std::nullopt;
        case Key::Other:
            if (!editing_) Open(std::string(typed));
            return std::nullopt;
    }
    return std::nullopt;
}

// --- the page --------------------------------------------------------------------

namespace {

constexpr std::string_view kNameProperties[] = {"Input1Name", "Input2Name", "Input3Name",
                                                "Input4Name", "Input5Name", "Input6Name",
                                                "Input7Name", "Input8Name"};
constexpr std::string_view kValueProperties[] = {"Input1", "Input2", "Input3", "Input4",
                                                 "Input5", "Input6", "Input7", "Input8"};

std::vector<PageField> FormulaFields() {
    std::vector<PageField> fields = {
        EditField("Output =", "Formula", FieldKind::String)
            .MaxLength(FormulaPage::kMaxFormula)
            .Group("Formula"),
        NoteField("Enter a mathematical formula to be evaluated.").Group("Formula"),
    };
    // The grid is a view over these hidden boxes, which carry the properties.
    for (std::string_view name : kNameProperties)
        fields.push_back(
            EditField(name, name, FieldKind::String).MaxLength(FormulaPage::kMaxName).Hidden());
    for (std::string_view value : kValueProperties)
        fields.push_back(EditField(value, value, FieldKind::Double).Hidden());
    return fields;
}

const PageRow kRows[] = {
    {"CFormulaPropPage",
     "General",
     {},
     []() -> std::unique_ptr<COlePropertyPage> { return std::make_unique<FormulaPage>(); }},
};

}  // namespace

FormulaPage::FormulaPage() : COlePropertyPage("General", FormulaFields()) {}

void FormulaPage::Load(IDispatch* object) {
    COlePropertyPage::Load(object);
    for (int i = 0; i < FormulaGrid::kRows; ++i) {
        grid_.At(i).name = Text(kFirstName + i);
        grid_.At(i).value = Number(kFirstValue + i);
    }
    CheckFormula();
}

void FormulaPage::OnEdited(size_t field) {
    COlePropertyPage::OnEdited(field);
    if (field == kFormula) CheckFormula();
}

void FormulaPage::CheckFormula() {
    CMathFormula scratch;
    for (int i = 0; i < FormulaGrid::kRows; ++i)
        scratch.SetVariable(grid_.At(i).name, grid_.At(i).value);
    scratch.Parse(Text(kFormula));
    if (scratch.GetErrorCode() != 0) {
        Show(kMessage, scratch.GetErrorMessage());
        selection_ = std::pair(scratch.GetErrorStart(), scratch.GetErrorEnd());
    } else {
        Show(kMessage, "");
        selection_.reset();
    }
}

std::optional<PageMessage> FormulaPage::Apply() {
    if (auto refused = grid_.Commit()) return refused;
    for (int i = 0; i < FormulaGrid::kRows; ++i) {
        Show(kFirstName + i, grid_.At(i).name);
        MarkChanged(kFirstName + i);
        Show(kFirstValue + i, FormulaGrid::FormatValue(grid_.At(i).value));
        MarkChanged(kFirstValue + i);
    }
    CheckFormula();  // the name boxes have new names
    return COlePropertyPage::Apply();
}

std::span<const PageRow> FormulaPages() {
    return kRows;
}
