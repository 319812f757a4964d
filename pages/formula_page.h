#pragma once
// The Formula block's page: the formula with a live parse check, and a grid
// of the eight inputs (name, value) edited in place. The grid's keyboard and
// mouse rules are a small state machine here, so that they hold for any view.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/property_page.h"

class FormulaGrid {
  public:
    static constexpr int kRows = 8;
    enum Column { kName = 1, kValue = 2 };
    enum class Key { Left, Right, Up, Down, Home, End, Escape, Enter, Other };
    // Pixel widths of the label and name columns; the value column takes the rest.
    static constexpr int kLabelWidth = 80, kNameWidth = 140;

    struct Row {
        std::string label;  // "Input1"
        std::string name;
        double value = 0;
    };

    FormulaGrid();
    const Row& At(int row) const { return rows_[row]; }
    Row& At(int row) { return rows_[row]; }
    int Current() const { return current_; }
    Column CurrentColumn() const { return column_; }
    bool EditorOpen() const { return editing_; }
    const std::string& EditorText() const { return editor_; }
    void SetEditorText(std::string text) { editor_ = std::move(text); }

    // Mouse button down at x pixels on `row`: commits an open editor; the
    // column under the pointer becomes current and the row selected.
    std::optional<PageMessage> Click(int row, int x);
    // A key; `typed` is the character of a Key::Other.
    std::optional<PageMessage> Press(Key key, std::string_view typed = {});
    // Commits an open editor into its cell. A name that begins with a digit is
    // refused (beep, message, the editor stays open).
    std::optional<PageMessage> Commit();

    // What the name editor keeps of a text: letters, digits and "_".
    static std::string SanitizeName(std::string_view text);
    // A value as the grid shows it ("%lf").
    static std::string FormatValue(double value);

  private:
    void Open(std::string text);
    std::array<Row, kRows> rows_;
    int current_ = 0;
    Column column_ = kName;
    bool editing_ = false;
    std::string editor_;
};

class FormulaPage : public COlePropertyPage {
  public:
    static constexpr size_t kFormula = 0, kMessage = 1, kFirstName = 2, kFirstValue = 10;
    static constexpr size_t kMaxFormula = 1024, kMaxName = 64;

    FormulaPage();
    void Load(IDispatch* object) override;
    std::optional<PageMessage> Apply() override;

    FormulaGrid& Grid() { return grid_; }
    // The error's characters in the formula, to select while the formula box
    // does not have the focus; nullopt when the formula parses.
    std::optional<std::pair<int, int>> ErrorSelection() const { return selection_; }

  protected:
    void OnEdited(size_t field) override;

  private:
    // Parses the formula over the grid's names with a scratch formula and
    // shows the first parse error (or nothing) under the formula.
    void CheckFormula();
    FormulaGrid grid_;
    std::optional<std::pair<int, int>> selection_;
};
