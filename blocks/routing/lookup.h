#pragma once
// OVLookup maps an input to an output through a table of key/output pairs: a
// two-dimensional array held in the block, or a list file named by a path and
// read at every run. This file also holds what the switch block shares with
// it: the kinds of tables and their match rules, and COVListCtrl, the part of
// both blocks that holds the list (LookupTable, CaseSensitive, Delimiter) and
// persists it.
#include <cstdint>
#include <optional>
#include <string>

#include "blocks/routing/list_file.h"
#include "framework/base_math_ctrl.h"
#include "platform/safearray.h"

// How the elements of a table compare with an input, by element type.
enum class TableKind : uint8_t {
    Unsupported,
    Double,  // VT_R8: equal to the input; outputs VT_R8
    Float,   // VT_R4: widened, equal to the input; outputs VT_R4
    Long,    // VT_I4, VT_UI4, VT_INT, VT_UINT: equal to the input truncated to 32 bits; VT_I4
    Short,   // VT_I2, VT_UI2: low 16 bits of the truncated input; VT_I2
    Char,    // VT_I1, VT_UI1: low 8 bits of the truncated input; VT_I1
    Text,    // VT_BSTR: equal texts (case rule of the block); VT_BSTR
};
TableKind TableKindOf(VARTYPE elementType);
inline bool IsNumericKind(TableKind kind) {
    return kind != TableKind::Text && kind != TableKind::Unsupported;
}

// The input made ready for one table kind: a number for the numeric kinds, a
// text (lower-cased unless case-sensitive) for text tables.
struct CaseProbe {
    TableKind kind = TableKind::Unsupported;
    double number = 0;
    std::optional<int32_t> truncated;  // toward zero; none outside the 32-bit range or NaN
    std::string text;
    bool caseSensitive = false;
};

// Converts `input` for a table of `kind`: numeric kinds read it as a double
// (the input stays as it is); a text table converts a non-string input to a
// string in place, so that the converted input stays visible. Nullopt when
// the input does not convert (or the kind is unsupported). An integer key never
// equals an input outside the 32-bit range.
std::optional<CaseProbe> PrepareProbe(TableKind kind, Variant& input, bool caseSensitive);

// The position (0 to count - 1) of the first of the elements at storage
// offsets first, first + stride, ... that matches `probe`; nullopt for none.
// The array's element type must be of the probe's kind.
std::optional<size_t> FindFirstMatch(const SafeArray& elements, const CaseProbe& probe,
                                     size_t first, size_t stride, size_t count);

// The element at storage `offset` as the output type of `kind`; integer
// elements keep their bits (a VT_UI4 4294967295 outputs VT_I4 -1).
Variant TableOutput(const SafeArray& elements, size_t offset, TableKind kind);

struct LookupOutcome {
    HRESULT status = S_OK;  // TYPE_E_TYPEMISMATCH, E_INVALIDARG
    int32_t index = 0;      // the matching entry's index (lower bound included)
    Variant value;          // its output; empty without a match
};

// Looks `input` up in `table`: a two-dimensional array indexed (column, entry)
// whose first dimension holds column 0 (keys) and 1 (outputs). Entries are
// scanned upward from the entry dimension's lower bound; the first match wins.
// E_INVALIDARG when the array is no such table; TYPE_E_TYPEMISMATCH for an
// unsupported element type, an input that does not convert, or no match.
// `input` may be converted in place (text tables, see PrepareProbe).
LookupOutcome LookupInTable(const SafeArray& table, Variant& input, bool caseSensitive);

// Builds the table a list gives: a 2-by-n array of doubles or strings from a
// lookup list, or an n-element vector from a switch list (lower bounds 0).
// Null when there is no value or memory runs out.
SafeArrayPtr ListToArray(ListValues&& list, bool twoColumns);

// --- what the switch and lookup blocks share -------------------------------

constexpr DISPID DISPID_LOOKUPTABLE = 2;

class COVListCtrl : public COVBaseMathCtrl {
  public:
    // Table shapes: a lookup table has key and output columns, a switch list
    // one case value per element.
    enum class Shape : uint8_t { KeyOutputPairs, Cases };

    // The input (DISPID 1, table entry 2).
    Variant GetInput() const { return m_varInput; }
    void SetInput(const Variant& value) { PutInput(1, m_varInput, value); }
    Variant GetLookupTable() const { return m_varLookupTable; }
    // The input put handler, with the bound-change notice for a path only.
    void SetLookupTable(const Variant& value);
    bool GetCaseSensitive() const { return m_bCaseSensitive != FALSE; }
    template <DISPID D>
    void SetCaseSensitive(bool value) {
        PutBoundSetting(D, m_bCaseSensitive, value ? TRUE : FALSE);
    }
    int16_t GetDelimiter() const { return m_cDelimiter; }
    // Keeps the low 8 bits, whether or not they name a DELIMITER_TYPE.
    template <DISPID D>
    void SetDelimiter(int16_t value) {
        PutBoundSetting(D, m_cDelimiter, static_cast<uint8_t>(value));
    }
    // Whether the list of the last run compared numbers.
    bool NumericTable() const { return m_bNumericTable != FALSE; }

  protected:
    COVListCtrl(int32_t inputCount, Shape shape) : COVBaseMathCtrl(inputCount), shape_(shape) {}

    // LookupTable is edited on the list page of the block's shape, which a
    // host may show or not; every other property has the default mapping.
    BOOL OnMapPropertyToPage(DISPID dispid, std::string_view* pageClass, BOOL* optional) override;

    // The list a run works on.
    struct RunTable {
        HRESULT status = S_OK;
        const SafeArray* table = nullptr;  // null: the run ends with `status`
        SafeArrayPtr fromFile;             // owns a table read from a file
    };
    // LookupTable as a list: a path is read anew (ERROR_FILE_NOT_FOUND_HR for an
    // empty one, the file's status, no table and status 0 for a file without
    // values); an array must have the shape's dimensions (E_INVALIDARG); any
    // other value gives TYPE_E_TYPEMISMATCH. Sets the numeric-table flag.
    RunTable TableForRun();

    BOOL CanRun() override { return AmbientUserMode(); }
    // After the rows (the input as a double, CaseSensitive, Delimiter): the
    // list's kind as LookupType, then the path or the list's elements. Which
    // properties a list has depends on its kind, so rows cannot say it.
    void DoPropExchange(CPropExchange* pPX) override;

    // What the member rows both list blocks share persist and reset.
    static constexpr PlainValue kStoredInput{VT_R8, 0.0};
    static constexpr PlainValue kNoList{VT_BSTR, 0, ""};
    static constexpr PlainValue kNotCaseSensitive{VT_BOOL, 0};
    static constexpr PlainValue kCommaDelimiter{VT_I2, ovComma};

    Variant m_varInput;
    Variant m_varLookupTable;
    BOOL m_bCaseSensitive = FALSE;
    uint8_t m_cDelimiter = ovComma;
    BOOL m_bNumericTable = FALSE;

  private:
    void ExchangeListElements(CPropExchange* pPX, VARTYPE type);

    Shape shape_;
};

constexpr int32_t LOOKUP_HELP_CONTEXT = 58;

class COVLookupCtrl : public COVListCtrl {
  public:
    COVLookupCtrl();

    static const DispatchTable& LookupMembers();
    static constexpr ControlClass kClass{&LookupMembers, &BaseEvents, LOOKUP_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetValue() const { return m_varValue; }
    void SetValue(const Variant& value) { PutSetting(m_varValue, value); }
    int32_t GetMapIndex() const { return m_lMapIndex; }
    void SetMapIndex(int32_t value) { PutSetting(m_lMapIndex, value); }
    Variant Operate() {
        Compute();
        return m_varValue;
    }

  protected:
    // Status 0; TableForRun; LookupInTable; on a match Value and MapIndex take
    // the entry's output and index, otherwise both keep their contents;
    // FireResults.
    void Compute() override;

  private:
    Variant m_varValue;
    int32_t m_lMapIndex = 0;
};
