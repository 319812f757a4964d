#pragma once
// Property exchange: the named, typed values a control persists, the text file
// they are stored in, and the PX_ functions a control's DoPropExchange calls.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"
#include "platform/variant.h"

// Ordered set of named values. Names are looked up ignoring ASCII case and kept
// as first written; properties keep the order in which they were first written.
//
// The file form is a header line and one line per property:
//   TallyKit property bag 1
//   InputX = r8 2.5
//   _Version = ui4 65537
// each value in its typed text (value_text.h), so every value comes back bit
// for bit. Reading also accepts CRLF line ends, blank lines and lines whose
// first non-blank character is '#' (comments); writing produces neither.
class PropertyBag {
  public:
    struct Property {
        std::string name;
        Variant value;
    };

    // Whether `name` can name a property: one or more ASCII letters, digits
    // and underscores.
    static bool IsValidName(std::string_view name);

    // Sets the property `name` (replacing a value of the same name in place, or
    // appending). Refuses, returning false and changing nothing, an invalid
    // name or a value without exact text (HasExactText: dispatch values above all).
    bool Write(std::string_view name, const Variant& value);
    // The value of the property `name`, or null when there is none. The pointer
    // is valid until the next Write.
    const Variant* Read(std::string_view name) const;
    std::span<const Property> Properties() const { return properties_; }
    bool IsEmpty() const { return properties_.empty(); }

    // The file text: the header line, then `Name = value` lines, each ending in '\n'.
    std::string Serialize() const;
    // Reads file text into *out (replacing its contents). On failure returns
    // false, leaves *out unchanged and stores in *error (when not null) a message
    // with the 1-based line number: a missing header, a line without '=', an
    // invalid name, a name that appears twice, a malformed value (its column
    // counted from the value's first non-blank character) or a value that cannot
    // be persisted, e.g. "line 3: value of Width: column 4: expected an integer ...".
    static bool Parse(std::string_view text, PropertyBag* out, std::string* error);

    // Writes Serialize() to `path` through a temporary file beside it that then
    // replaces `path`, so a failed save leaves an existing file as it was. On
    // failure returns false with a message naming the path and the system's reason.
    bool SaveToFile(const std::string& path, std::string* error) const;
    // Reads and parses the file at `path`; failures as for Parse and for a file
    // that cannot be read, each message starting with the path.
    static bool LoadFromFile(const std::string& path, PropertyBag* out, std::string* error);

    // Same names (spelling included) in the same order with equal values.
    friend bool operator==(const PropertyBag& a, const PropertyBag& b);

  private:
    Property* Find(std::string_view name);
    const Property* Find(std::string_view name) const;

    std::vector<Property> properties_;
};

// One exchange pass of a control over a bag: loading reads the control's
// properties from it, saving writes them into it.
class CPropExchange {
  public:
    CPropExchange(PropertyBag& bag, bool loading) : bag_(bag), loading_(loading) {}
    bool IsLoading() const { return loading_; }
    PropertyBag& Bag() { return bag_; }

  private:
    PropertyBag& bag_;
    bool loading_;
};

// The exchange functions. Each persists one property under `name` with a fixed
// kind: PX_Bool bool, PX_Short i2, PX_Long i4, PX_ULong ui4, PX_Float r4,
// PX_Double r8, PX_String bstr, PX_Variant the given `kind`.
// Loading: `value` := the bag's value converted to the kind with
// VariantChangeType (flags 0); when the property is missing or does not convert,
// `value` := `def`. Returns true when the value came from the bag.
// Saving: writes `value` with the kind. Returns true when it was written (false
// for a null exchange or name, an invalid name, or a value the bag refuses).
// PX_Bool stores TRUE as the Boolean -1 and loads any nonzero Boolean as TRUE (1).
bool PX_Bool(CPropExchange* pPX, const char* name, BOOL& value, BOOL def);
bool PX_Short(CPropExchange* pPX, const char* name, int16_t& value, int16_t def);
bool PX_Long(CPropExchange* pPX, const char* name, int32_t& value, int32_t def);
bool PX_ULong(CPropExchange* pPX, const char* name, uint32_t& value, uint32_t def);
bool PX_Float(CPropExchange* pPX, const char* name, float& value, float def);
bool PX_Double(CPropExchange* pPX, const char* name, double& value, double def);
bool PX_String(CPropExchange* pPX, const char* name, std::string& value, const std::string& def);
// As above for a value of any kind. Saving writes `value` converted to `kind`;
// when it does not convert, `def` converted to `kind` is written instead (how a
// block saves an input that does not convert), and nothing when neither does.
// Loading falls back to `def` as given.
bool PX_Variant(CPropExchange* pPX, const char* name, Variant& value, VARTYPE kind,
                const Variant& def);
// Persists an input held as a value under `name` as kind `kind`. Loading makes
// the input a value of that kind (`loadDefault` when the bag has none); saving
// writes the input converted to the kind, or zero when it does not convert.
void ExchangeInput(CPropExchange* pPX, const char* name, Variant& input, VARTYPE kind,
                   const Variant& loadDefault);
// Exchanges the control's version as the ui4 property "_Version" (blocks use
// 0x00010001); loading a bag without it gives `defaultVersion`.
bool ExchangeVersion(CPropExchange* pPX, uint32_t& version, uint32_t defaultVersion);
