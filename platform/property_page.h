#pragma once
// The property-page stand-in (COlePropertyPage): a page is a caption and a
// table of fields declared as data. It talks to its object only through the
// dispatch interface, by property name: Load reads every bound field into the
// text the page shows, an edit marks its field changed, and Apply checks the
// fields in order and, only when all pass, writes the changed enabled fields,
// each with its declared kind. A page holds no widgets; a view (pages/qt/)
// shows its texts and forwards the user's edits.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com.h"
#include "platform/variant.h"

enum class FieldKind : uint8_t {
    Double,  // edit box, written as an 8-byte float
    Float,   // edit box, written as a 4-byte float
    Long,    // edit box, written as a 32-bit integer
    Short,   // edit box, written as a 16-bit integer
    String,  // edit box, written as text
    Bool,    // check box; text "1" or "0"
    List,    // drop-down list; text = the selected position ("-1": none)
    Radio,   // radio group; text = the chosen button's position
    Note,    // static text (the label); bound to nothing
    Button,  // push button; the page's Press reacts
    Text,    // multi-line text, exchanged by the page itself
};

// A field is enabled while the field bound to `controller` shows `value`
// (`equal`) or anything else (!`equal`). With `markChanged`, every time the
// rule enables the field it also marks it changed, so Apply writes it.
struct EnableRule {
    std::string_view controller;  // empty: always enabled
    int32_t value = 0;
    bool equal = true;
    bool markChanged = false;
};

struct PageField {
    std::string_view label;     // dialog label, check-box caption, note text
    std::string_view property;  // bound property; empty for unbound fields
    FieldKind kind = FieldKind::Note;
    std::string_view group;                     // group box title; empty: none
    std::span<const std::string_view> choices;  // list entries, radio captions
    std::span<const int32_t> codes;  // list: the value of each position (empty: position)
    int32_t positionOffset = 0;      // list without codes: position = value + offset
    bool hasRange = false;
    double min = 0, max = 0;
    size_t maxLength = 0;      // edit boxes: longest text that can be typed (0: no limit)
    bool spin = false;         // an up-down control beside the edit box
    bool hidden = false;       // carried by the page, never shown
    bool onlyStrings = false;  // loads only a string value; anything else shows empty
    EnableRule enable;

  private:
    // This field with one member changed, for the modifiers below, which chain
    // on a constant field. Defined before them so that clang can evaluate them
    // in constant expressions.
    template <class T>
    constexpr PageField With(T PageField::*member, T value) const {
        PageField f = *this;
        f.*member = value;
        return f;
    }

  public:
    constexpr PageField Range(double lo, double hi) const {
        PageField f = With(&PageField::hasRange, true);
        f.min = lo;
        f.max = hi;
        return f;
    }
    constexpr PageField Spin() const { return With(&PageField::spin, true); }
    constexpr PageField MaxLength(size_t n) const { return With(&PageField::maxLength, n); }
    constexpr PageField Group(std::string_view g) const { return With(&PageField::group, g); }
    constexpr PageField Codes(std::span<const int32_t> c) const {
        return With(&PageField::codes, c);
    }
    constexpr PageField Offset(int32_t o) const { return With(&PageField::positionOffset, o); }
    constexpr PageField EnabledWhen(EnableRule r) const { return With(&PageField::enable, r); }
    constexpr PageField Hidden() const { return With(&PageField::hidden, true); }
    constexpr PageField OnlyStrings() const { return With(&PageField::onlyStrings, true); }
};

// Field makers, one per kind of dialog control.
constexpr PageField MakeField(std::string_view label, std::string_view property, FieldKind kind,
                              std::span<const std::string_view> choices = {}) {
    PageField f;
    f.label = label;
    f.property = property;
    f.kind = kind;
    f.choices = choices;
    return f;
}
constexpr PageField EditField(std::string_view label, std::string_view property, FieldKind kind) {
    return MakeField(label, property, kind);
}
constexpr PageField CheckBoxField(std::string_view label, std::string_view property) {
    return MakeField(label, property, FieldKind::Bool);
}
constexpr PageField ListField(std::string_view label, std::string_view property,
                              std::span<const std::string_view> entries) {
    return MakeField(label, property, FieldKind::List, entries);
}
constexpr PageField RadioField(std::string_view property,
                               std::span<const std::string_view> captions) {
    return MakeField({}, property, FieldKind::Radio, captions);
}
constexpr PageField NoteField(std::string_view text) {
    return MakeField(text, {}, FieldKind::Note);
}
constexpr PageField ButtonField(std::string_view caption) {
    return MakeField(caption, {}, FieldKind::Button);
}

// What a failed check shows: the text, the message box style (the exclamation
// icon) and the field that gets the focus.
struct PageMessage {
    PageMessage(std::string t, unsigned s, size_t f, std::string caption = {})
        : text(std::move(t)), style(s), field(f), title(std::move(caption)) {}
    std::string text;
    unsigned style = 0;
    size_t field = 0;
    std::string title;  // empty: the frame's caption
};

// The platform's standard messages for a field that does not parse or lies
// outside its range.
std::string IntegerRangeMessage(int64_t min,
                                int64_t max);  // "Please enter an integer between 0 and 7."
std::string NumberRangeMessage(double min, double max);  // "Please enter a number between 0 and 1."
extern const std::string_view kEnterInteger;             // "Please enter an integer."
extern const std::string_view kEnterNumber;              // "Please enter a number."

// Text <-> number as the page's edit boxes hold them: blanks around the
// number allowed, nothing else. Nullopt for any other text.
std::optional<double> ParseNumber(std::string_view text);
std::optional<int64_t> ParseInteger(std::string_view text);
// "%.*g" with 15 digits, the form a double edit box shows.
std::string FormatNumber(double value);

class COlePropertyPage {
  public:
    COlePropertyPage(std::string_view caption, std::vector<PageField> fields);
    virtual ~COlePropertyPage() = default;
    COlePropertyPage(const COlePropertyPage&) = delete;
    COlePropertyPage& operator=(const COlePropertyPage&) = delete;

    std::string_view Caption() const { return caption_; }
    std::span<const PageField> Fields() const { return fields_; }

    // Reads every bound field from `object` (kept for Apply) and redoes the
    // enabling. A property that cannot be read or converted shows empty.
    virtual void Load(IDispatch* object);
    // Checks the fields in order; on the first failure returns its message
    // and writes nothing. Otherwise writes every changed enabled field and
    // clears the changed flags. A property the object refuses gives a message
    // naming it (the fields before it are written).
    virtual std::optional<PageMessage> Apply();

    const std::string& Text(size_t field) const { return state_[field].text; }
    bool Enabled(size_t field) const { return state_[field].enabled; }
    bool Changed(size_t field) const { return state_[field].changed; }
    bool AnyChanged() const;
    // The user's edit: stores the text (cut to the field's maximum length),
    // marks the field changed and lets the page react (enabling, coupled fields).
    void Edit(size_t field, std::string text);
    // A push button was pressed.
    virtual void Press(size_t field);
    // Index of the first field bound to `property`; Fields().size() if none.
    size_t FieldOf(std::string_view property) const;

  protected:
    // Reaction to an edit of `field`; the default redoes the enabling.
    virtual void OnEdited(size_t field);
    // The check of one enabled field during Apply; the default parses numbers
    // and checks the field's range.
    virtual std::optional<PageMessage> CheckField(size_t field);
    // Writes what Apply must write; the default writes the changed enabled fields.
    virtual std::optional<PageMessage> WriteFields();

    // Shows `text` in a field without marking it changed.
    void Show(size_t field, std::string text);
    void MarkChanged(size_t field, bool changed = true) { state_[field].changed = changed; }
    void UpdateEnabling();
    // The field's text as a number, 0 when it is not one.
    double Number(size_t field) const;
    IDispatch* Object() const { return object_.Get(); }
    HRESULT ReadProperty(std::string_view name, Variant* value) const;
    HRESULT WriteProperty(std::string_view name, Variant value) const;
    std::optional<PageMessage> WriteField(size_t field) const;
    std::optional<PageMessage> RangeCheck(size_t field) const;

  private:
    struct FieldState {
        std::string text;
        bool changed = false;
        bool enabled = true;
    };
    std::string LoadText(const PageField& f, const Variant& value) const;

    std::string caption_;
    std::vector<PageField> fields_;
    std::vector<FieldState> state_;
    ComPtr<IDispatch> object_;
};
