#include "blocks/routing/lookup.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <span>
#include <string>

#include "platform/property_bag.h"

namespace {

void LowerInPlace(std::string& s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// `key` equals `lower` (already lower-cased) once lower-cased itself.
bool EqualsIgnoringCase(const std::string& key, const std::string& lower) {
    if (key.size() != lower.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(key[i])) !=
            static_cast<unsigned char>(lower[i]))
            return false;
    }
    return true;
}

template <class T, class Equal>
std::optional<size_t> Scan(const SafeArray& elements, size_t first, size_t stride, size_t count,
                           Equal equal) {
    const std::span<const T> data = elements.Data<T>();
    if (count == 0 || first + stride * (count - 1) >= data.size()) return std::nullopt;
    const T* at = data.data() + first;
    for (size_t i = 0; i < count; ++i, at += stride) {
        if (equal(*at)) return i;
    }
    return std::nullopt;
}

}  // namespace

TableKind TableKindOf(VARTYPE elementType) {
    switch (elementType) {
        case VT_R8:
            return TableKind::Double;
        case VT_R4:
            return TableKind::Float;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return TableKind::Long;
        case VT_I2:
        case VT_UI2:
            return TableKind::Short;
        case VT_I1:
        case VT_UI1:
            return TableKind::Char;
        case VT_BSTR:
            return TableKind::Text;
        default:
            return TableKind::Unsupported;
    }
}

std::optional<CaseProbe> PrepareProbe(TableKind kind, Variant& input, bool caseSensitive) {
    CaseProbe probe;
    probe.kind = kind;
    probe.caseSensitive = caseSensitive;
    if (kind == TableKind::Unsupported) return std::nullopt;
    if (kind == TableKind::Text) {
        if (input.vt() != VT_BSTR && FAILED(VariantChangeType(&input, &input, 0, VT_BSTR))) {
            return std::nullopt;
        }
        probe.text = input.bstrVal();
        if (!caseSensitive) LowerInPlace(probe.text);
        return probe;
    }
    Variant number;
    if (FAILED(VariantChangeType(&number, &input, 0, VT_R8))) return std::nullopt;
    probe.number = number.dblVal();
    const double whole = std::trunc(probe.number);
    if (whole >= -2147483648.0 && whole <= 2147483647.0)
        probe.truncated = static_cast<int32_t>(whole);
    return probe;
}

std::optional<size_t> FindFirstMatch(const SafeArray& elements, const CaseProbe& probe,
                                     size_t first, size_t stride, size_t count) {
    const double x = probe.number;
    const VARTYPE type = elements.ElementType();
    if (TableKindOf(type) != probe.kind) return std::nullopt;
    if (probe.kind == TableKind::Text) {
        if (probe.caseSensitive) {
            return Scan<std::string>(elements, first, stride, count,
                                     [&](const std::string& k) { return k == probe.text; });
        }
        return Scan<std::string>(elements, first, stride, count, [&](const std::string& k) {
            return EqualsIgnoringCase(k, probe.text);
        });
    }
    if (probe.kind == TableKind::Double)
        return Scan<double>(elements, first, stride, count, [x](double k) { return k == x; });
    if (probe.kind == TableKind::Float) {
        return Scan<float>(elements, first, stride, count,
                           [x](float k) { return static_cast<double>(k) == x; });
    }
    if (!probe.truncated) return std::nullopt;
    const int32_t t = *probe.truncated;
    const auto low16 = static_cast<uint16_t>(t);
    const auto low8 = static_cast<uint8_t>(t);
    switch (type) {
        case VT_I4:
        case VT_INT:
            return Scan<int32_t>(elements, first, stride, count, [t](int32_t k) { return k == t; });
        case VT_UI4:
        case VT_UINT:
            return Scan<uint32_t>(elements, first, stride, count,
                                  [t](uint32_t k) { return static_cast<int32_t>(k) == t; });
        case VT_I2:
            return Scan<int16_t>(elements, first, stride, count,
                                 [low16](int16_t k) { return static_cast<uint16_t>(k) == low16; });
        case VT_UI2:
            return Scan<uint16_t>(elements, first, stride, count,
                                  [low16](uint16_t k) { return k == low16; });
        case VT_I1:
            return Scan<int8_t>(elements, first, stride, count,
                                [low8](int8_t k) { return static_cast<uint8_t>(k) == low8; });
        default:  // VT_UI1
            return Scan<uint8_t>(elements, first, stride, count,
                                 [low8](uint8_t k) { return k == low8; });
    }
}

Variant TableOutput(const SafeArray& elements, size_t offset, TableKind kind) {
    const Variant e = elements.ElementAt(offset);
    switch (e.vt()) {
        case VT_UI4:
        case VT_UINT:
            return Variant::I4(static_cast<int32_t>(e.ulVal()));
        case VT_INT:
            return Variant::I4(e.lVal());
        case VT_UI2:
            return Variant::I2(static_cast<int16_t>(e.uiVal()));
        case VT_UI1:
            return Variant::I1(static_cast<int8_t>(e.bVal()));
        default:
            return kind == TableKind::Unsupported ? Variant() : e;
    }
}

LookupOutcome LookupInTable(const SafeArray& table, Variant& input, bool caseSensitive) {
    if (table.Dims() < 2) return {E_INVALIDARG, 0, {}};
    const SAFEARRAYBOUND columns = table.Bound(0), entries = table.Bound(1);
    // Columns 0 and 1 are addressed as they are: without them there is no table.
    if (columns.lLbound != 0 || columns.cElements < 2) return {E_INVALIDARG, 0, {}};
    const TableKind kind = TableKindOf(table.ElementType());
    const std::optional<CaseProbe> probe = PrepareProbe(kind, input, caseSensitive);
    if (!probe) return {TYPE_E_TYPEMISMATCH, 0, {}};
    const std::optional<size_t> match =
        FindFirstMatch(table, *probe, 0, columns.cElements, entries.cElements);
    if (!match) return {TYPE_E_TYPEMISMATCH, 0, {}};
    return {S_OK, entries.lLbound + static_cast<int32_t>(*match),
            TableOutput(table, *match * columns.cElements + 1, kind)};
}

SafeArrayPtr ListToArray(ListValues&& list, bool twoColumns) {
    const size_t count = list.Count();
    const uint32_t n = static_cast<uint32_t>(twoColumns ? count / 2 : count);
    if (n == 0) return nullptr;
    const SAFEARRAYBOUND pairs[2] = {{2, 0}, {n, 0}};
    const SAFEARRAYBOUND cases[1] = {{n, 0}};
    SafeArrayPtr array = SafeArrayCreate(list.numeric ? VT_R8 : VT_BSTR, twoColumns ? 2 : 1,
                                         twoColumns ? pairs : cases);
    if (!array) return nullptr;
    if (list.numeric) {
        std::span<double> out = array->Data<double>();
        std::copy(list.numbers.begin(), list.numbers.begin() + out.size(), out.begin());
    } else {
        std::span<std::string> out = array->Data<std::string>();
        std::move(list.texts.begin(), list.texts.begin() + out.size(), out.begin());
    }
    return array;
}

// --- the list part of the switch and lookup blocks ----------------------------

void COVListCtrl::SetLookupTable(const Variant& value) {
    m_varLookupTable = value;
    SetModifiedFlag();
    if (value.vt() == VT_BSTR) NotifyBoundChange(DISPID_LOOKUPTABLE);
    m_bInputChanged = TRUE;
    SetInputValid(DISPID_LOOKUPTABLE, TRUE);
}

COVListCtrl::RunTable COVListCtrl::TableForRun() {
    RunTable run;
    const bool pairs = shape_ == Shape::KeyOutputPairs;
    const Variant& list = m_varLookupTable;
    if (list.vt() == VT_BSTR) {
        ListFileResult file = ReadListFile(list.bstrVal(), static_cast<char>(m_cDelimiter),
                                           pairs ? &ParseLookupList : &ParseSwitchList);
        run.status = file.status;
        if (file.status != S_OK || file.values.Count() == 0) return run;
        m_bNumericTable = file.values.numeric ? TRUE : FALSE;
        run.fromFile = ListToArray(std::move(file.values), pairs);
        if (!run.fromFile) run.status = E_OUTOFMEMORY;
        run.table = run.fromFile.get();
        return run;
    }
    if (!list.IsArray()) {
        run.status = TYPE_E_TYPEMISMATCH;
        return run;
    }
    const uint32_t dims = SafeArrayGetDim(list.parray());
    // A switch takes its cases from a one-dimensional array only: how the
    // elements of a two-dimensional one would line up as cases is anyone's guess.
    if (pairs ? dims < 2 : dims != 1) {
        run.status = E_INVALIDARG;
        return run;
    }
    const TableKind kind = TableKindOf(list.parray()->ElementType());
    if (kind == TableKind::Unsupported) {
        run.status = TYPE_E_TYPEMISMATCH;
        return run;
    }
    m_bNumericTable = IsNumericKind(kind) ? TRUE : FALSE;
    run.table = list.parray();
    return run;
}

void COVListCtrl::DoPropExchange(CPropExchange* pPX) {
    COVBaseMathCtrl::DoPropExchange(pPX);
    const bool loading = pPX->IsLoading();
    int32_t type = m_varLookupTable.vt();
    PX_Long(pPX, "LookupType", type, VT_BSTR);
    // A loaded block is not reset first: a bag without a usable list must
    // still leave the table a new block has, not whatever was there before.
    if (loading) m_varLookupTable = Variant::Str("");
    if (type == VT_BSTR) {
        std::string path = loading ? std::string() : m_varLookupTable.bstrVal();
        PX_String(pPX, "LookupTable", path, std::string());
        if (loading) m_varLookupTable = Variant::Str(std::move(path));
        return;
    }
    if ((type & VT_ARRAY) != 0) ExchangeListElements(pPX, static_cast<VARTYPE>(type));
    if (!loading) {
        std::string none;
        PX_String(pPX, "LookupTable", none, none);
    }
}

void COVListCtrl::ExchangeListElements(CPropExchange* pPX, VARTYPE type) {
    const bool pairs = shape_ == Shape::KeyOutputPairs;
    const VARTYPE elementType = type & VT_TYPEMASK;
    const uint32_t columns = pairs ? 2 : 1;
    auto name = [pairs](uint32_t column, int32_t i) {
        return pairs ? "LookupList_" + std::to_string(column) + "_" + std::to_string(i)
                     : "LookupList_" + std::to_string(i);
    };
    // The element at (column, i) of the list as persisted: a string for string
    // lists, a double for every other kind.
    auto exchange = [&](uint32_t column, int32_t i, Variant& element) {
        if (elementType == VT_BSTR) {
            std::string text = element.vt() == VT_BSTR ? element.bstrVal() : std::string();
            PX_String(pPX, name(column, i).c_str(), text, std::string());
            element = Variant::Str(std::move(text));
        } else {
            Variant number;
            double value =
                SUCCEEDED(VariantChangeType(&number, &element, 0, VT_R8)) ? number.dblVal() : 0.0;
            PX_Double(pPX, name(column, i).c_str(), value, 0.0);
            element = Variant::R8(value);
        }
    };

    const SafeArray* held = m_varLookupTable.IsArray() ? m_varLookupTable.parray() : nullptr;
    int32_t n = 0;
    uint32_t stride = 1;
    if (!pPX->IsLoading() && held != nullptr && held->Dims() >= columns) {
        stride = pairs ? held->Bound(0).cElements : 1;
        n = static_cast<int32_t>(pairs ? held->Bound(1).cElements : held->Count());
        if (pairs && stride < 2) n = 0;
    }
    PX_Long(pPX, "ListLength", n, 0);
    if (!pPX->IsLoading()) {
        for (int32_t i = 0; i < n; ++i) {
            for (uint32_t c = 0; c < columns; ++c) {
                Variant element = held->ElementAt(static_cast<size_t>(i) * stride + c);
                exchange(c, i, element);
            }
        }
        return;
    }
    // Every element of a saved list has a property of its own: a length beyond
    // the bag's size is no list this block saved.
    if (n < 1 || static_cast<size_t>(n) > pPX->Bag().Properties().size()) return;
    const SAFEARRAYBOUND bounds[2] = {{columns, 0}, {static_cast<uint32_t>(n), 0}};
    SafeArrayPtr list = pairs ? SafeArrayCreate(elementType, 2, bounds)
                              : SafeArrayCreate(elementType, 1, &bounds[1]);
    if (!list) return;
    for (int32_t i = 0; i < n; ++i) {
        for (uint32_t c = 0; c < columns; ++c) {
            Variant element;
            exchange(c, i, element);
            if (SUCCEEDED(VariantChangeType(&element, &element, 0, elementType))) {
                list->SetElementAt(static_cast<size_t>(i) * columns + c, element);
            }
        }
    }
    m_varLookupTable = Variant::Array(std::move(list));
}

// --- the lookup block ---------------------------------------------------------

BOOL COVListCtrl::OnMapPropertyToPage(DISPID dispid, std::string_view* pageClass, BOOL* optional) {
    if (dispid != DISPID_LOOKUPTABLE) return FALSE;
    *pageClass = shape_ == Shape::Cases ? "COVSwitchListPropPage" : "COVLookupListPropPage";
    *optional = TRUE;
    return TRUE;
}

COVLookupCtrl::COVLookupCtrl() : COVListCtrl(3, Shape::KeyOutputPairs) {}

const DispatchTable& COVLookupCtrl::LookupMembers() {
    using C = COVLookupCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInput, &C::SetInput>("Input", 1, "Value to look up")
                .Input(2)
                .PersistInput<&C::m_varInput>("Input", kStoredInput)
                .Reset<&C::m_varInput>(kStoredInput),
            Property<&C::GetLookupTable, &C::SetLookupTable>(
                "LookupTable", DISPID_LOOKUPTABLE,
                "Path of a list file, or a 2-by-n array of keys and outputs")
                .Input(3)
                .Reset<&C::m_varLookupTable>(kNoList),
            Property<&C::GetValue, &C::SetValue>("Value", 3, "Output of the last lookup")
                .HiddenPut()
                .Reset<&C::m_varValue>({VT_R8, 0.0}),
            Property<&C::GetMapIndex, &C::SetMapIndex>("MapIndex", 4,
                                                       "Index of the entry that matched last")
                .HiddenPut()
                .Reset<&C::m_lMapIndex>({VT_I4, 0}),
            Method<&C::Operate>("Operate", 5, "Looks the input up at once and returns Value"),
            Property<&C::GetCaseSensitive, &C::SetCaseSensitive<6>>(
                "CaseSensitive", 6, "True for case sensitive lookup of text keys.")
                .Persist<&C::m_bCaseSensitive>("CaseSensitive", kNotCaseSensitive)
                .Reset<&C::m_bCaseSensitive>(kNotCaseSensitive),
            Property<&C::GetDelimiter, &C::SetDelimiter<7>>(
                "Delimiter", 7, "Separates key and output on a line of a list file")
                .Enum(kDelimiterEnum)
                .Persist<&C::m_cDelimiter>("Delimiter", kCommaDelimiter)
                .Reset<&C::m_cDelimiter>(kCommaDelimiter),
        });
    return table;
}

void COVLookupCtrl::Compute() {
    ClearStatus();
    RunTable run = TableForRun();
    m_lStatusCode = run.status;
    if (run.table != nullptr && run.status == S_OK) {
        LookupOutcome found = LookupInTable(*run.table, m_varInput, GetCaseSensitive());
        m_lStatusCode = found.status;
        if (found.status == S_OK) {
            m_varValue = std::move(found.value);
            m_lMapIndex = found.index;
        }
    }
    run.fromFile.reset();
    FireResults(this);
}
