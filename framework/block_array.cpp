#include "framework/block_array.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <type_traits>

namespace {

template <class T>
using Tag = std::type_identity<T>;

// Calls `f` with the storage type of element type `vt` (the one SafeArray::Data
// takes); false for a type no array holds.
template <class F>
bool WithStorage(VARTYPE vt, F&& f) {
    switch (vt) {
        case VT_I1:
            f(Tag<int8_t>{});
            return true;
        case VT_UI1:
            f(Tag<uint8_t>{});
            return true;
        case VT_I2:
        case VT_BOOL:
            f(Tag<int16_t>{});
            return true;
        case VT_UI2:
            f(Tag<uint16_t>{});
            return true;
        case VT_I4:
        case VT_INT:
        case VT_ERROR:
            f(Tag<int32_t>{});
            return true;
        case VT_UI4:
        case VT_UINT:
            f(Tag<uint32_t>{});
            return true;
        case VT_R4:
            f(Tag<float>{});
            return true;
        case VT_R8:
        case VT_DATE:
            f(Tag<double>{});
            return true;
        case VT_CY:
            f(Tag<CY>{});
            return true;
        case VT_DECIMAL:
            f(Tag<DECIMAL>{});
            return true;
        case VT_BSTR:
            f(Tag<std::string>{});
            return true;
        case VT_VARIANT:
            f(Tag<Variant>{});
            return true;
        default:
            return false;
    }
}

constexpr int64_t kMaxCount = std::numeric_limits<uint32_t>::max();

bool FitsInt32(int64_t v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

// A dimension the platform can hold: a 32-bit count whose indices are all
// 32-bit numbers.
bool ValidExtent(const ArrayExtent& e) {
    return e.count >= 0 && e.count <= kMaxCount && FitsInt32(e.lowerBound) &&
           FitsInt32(e.lowerBound + e.count - 1);
}

size_t DefaultByteLimit() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return size_t{1} << 32;
    return static_cast<size_t>(pages) / 2 * static_cast<size_t>(pageSize);
}

std::atomic<size_t> g_byteLimitOverride{0};

bool WithinBudget(VARTYPE vt, uint64_t count) {
    const size_t bytes = ElementBytes(vt);
    return bytes != 0 && count <= ArrayByteLimit() / bytes;
}

}  // namespace

const SafeArray* ArrayOf(const Variant& value) {
    if (!value.IsArray()) return nullptr;
    const SafeArray* array = value.parray();
    return array && array->Dims() >= 1 ? array : nullptr;
}

SafeArray* ArrayOf(Variant& value) {
    return const_cast<SafeArray*>(ArrayOf(static_cast<const Variant&>(value)));
}

int64_t UpperIndex(const SAFEARRAYBOUND& bound) {
    return int64_t{bound.lLbound} + int64_t{bound.cElements} - 1;
}

bool InBounds(const SAFEARRAYBOUND& bound, int64_t index) {
    return index >= bound.lLbound && index <= UpperIndex(bound);
}

size_t ElementBytes(VARTYPE vt) {
    size_t bytes = 0;
    WithStorage(vt, [&]<class T>(Tag<T>) { bytes = sizeof(T); });
    return bytes;
}

size_t ArrayByteLimit() {
    static const size_t byDefault = DefaultByteLimit();
    const size_t chosen = g_byteLimitOverride.load(std::memory_order_relaxed);
    return chosen != 0 ? chosen : byDefault;
}

void SetArrayByteLimit(size_t bytes) {
    g_byteLimitOverride.store(bytes, std::memory_order_relaxed);
}

SafeArrayPtr CreateBlockArray(VARTYPE vt, std::initializer_list<ArrayExtent> extents) {
    if (extents.size() < 1 || extents.size() > 2) return nullptr;
    SAFEARRAYBOUND bounds[2];
    uint64_t total = 1;
    size_t d = 0;
    for (const ArrayExtent& e : extents) {
        if (!ValidExtent(e)) return nullptr;
        bounds[d++] = {static_cast<uint32_t>(e.count), static_cast<int32_t>(e.lowerBound)};
        total *= static_cast<uint64_t>(e.count);  // two 32-bit counts fit 64 bits
    }
    if (!WithinBudget(vt, total)) return nullptr;
    return SafeArrayCreate(vt, static_cast<uint32_t>(extents.size()), bounds);
}

SafeArrayPtr CreateBlockVector(VARTYPE vt, int64_t lowerBound, int64_t count) {
    return CreateBlockArray(vt, {{lowerBound, count}});
}

SafeArrayPtr RecreateBlockVector(Variant& previous, VARTYPE vt, int64_t lowerBound, int64_t count,
                                 Reuse reuse) {
    SafeArray* held = ArrayOf(previous);
    if (held && held->Dims() == 1 && held->ElementType() == vt &&
        held->Bound(0).lLbound == lowerBound && held->Bound(0).cElements == count) {
        SafeArrayPtr reused = previous.TakeArray();
        if (reuse == Reuse::ZeroFill) {
            WithStorage(vt, [&]<class T>(Tag<T>) { std::ranges::fill(reused->Data<T>(), T{}); });
        }
        return reused;
    }
    previous.Clear();
    return CreateBlockVector(vt, lowerBound, count);
}

HRESULT ResizeBlockArray(SafeArray& array, int64_t lowerBound, int64_t count) {
    const ArrayExtent extent{lowerBound, count};
    if (!ValidExtent(extent)) return E_INVALIDARG;
    uint64_t total = static_cast<uint64_t>(count);
    for (uint32_t d = 0; d + 1 < array.Dims(); ++d)
        total *= array.Bound(d).cElements;
    if (!WithinBudget(array.ElementType(), total)) return E_OUTOFMEMORY;
    const SAFEARRAYBOUND bound{static_cast<uint32_t>(count), static_cast<int32_t>(lowerBound)};
    return SafeArrayRedim(&array, &bound);
}

HRESULT ConvertToElement(Variant& value, VARTYPE elementType) {
    if (value.vt() == elementType) return S_OK;
    return VariantChangeType(&value, &value, 0, elementType);
}

bool IsUnheldElementType(VARTYPE vt) {
    return vt == VT_DISPATCH || vt == VT_I8 || vt == VT_UI8;
}

int64_t ElementOffset(const SafeArray& array, int32_t row, int32_t index) {
    if (array.Dims() == 1) return array.Offset(std::span<const int32_t>(&index, 1));
    const int32_t indices[] = {row, index};
    return array.Offset(indices);
}

size_t CopyElements(const SafeArray& src, ElementWalk from, SafeArray& dst, ElementWalk to,
                    size_t count, size_t runs) {
    if (src.ElementType() == dst.ElementType()) {
        WithStorage(dst.ElementType(), [&]<class T>(Tag<T>) {
            const T* s = src.Data<T>().data() + from.offset;
            T* t = dst.Data<T>().data() + to.offset;
            for (size_t r = 0; r < runs; ++r, s += from.runStep, t += to.runStep) {
                // Short runs (the rows of one index of a packed array) copy
                // faster in a loop than through a call to memmove each.
                if (from.step == 1 && to.step == 1 && count > 16) {
                    std::copy_n(s, count, t);
                    continue;
                }
                for (size_t i = 0; i < count; ++i)
                    t[i * to.step] = s[i * from.step];
            }
        });
        return count * runs;
    }
    size_t stored = 0;
    for (size_t r = 0; r < runs; ++r) {
        for (size_t i = 0; i < count; ++i) {
            Variant element = src.ElementAt(from.offset + r * from.runStep + i * from.step);
            if (FAILED(ConvertToElement(element, dst.ElementType()))) continue;
            const size_t target = to.offset + r * to.runStep + i * to.step;
            if (SUCCEEDED(dst.SetElementAt(target, element))) ++stored;
        }
    }
    return stored;
}

// --- bulk numeric access ------------------------------------------------------

bool IsFloatElementType(VARTYPE vt) {
    return vt == VT_R4 || vt == VT_R8;
}

bool IsNumericElementType(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
            return true;
        default:
            return false;
    }
}

bool IsNumericOrTextElementType(VARTYPE vt) {
    return IsNumericElementType(vt) || vt == VT_BSTR;
}

namespace {

template <class T>
constexpr VARTYPE kFloatKind = std::is_same_v<T, float> ? VT_R4 : VT_R8;

// The whole text must be a number; leading blanks are allowed, trailing
// characters (blanks included) are not.
bool ParseWholeNumber(const std::string& text, double* out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || *end != '\0') return false;
    *out = value;
    return true;
}

}  // namespace

template <class T>
bool ElementToNumber(const Variant& element, NumberConversion conversion, T* out) {
    if (conversion == NumberConversion::Rounding) {
        double value = 0;
        if (element.vt() == VT_BSTR) {
            if (!ParseWholeNumber(element.bstrVal(), &value)) return false;
        } else {
            Variant wide;
            if (!IsNumericElementType(element.vt()) ||
                FAILED(VariantChangeType(&wide, &element, 0, VT_R8)))
                return false;
            value = wide.dblVal();
        }
        *out = static_cast<T>(value);
        return true;
    }
    Variant converted;
    if (FAILED(VariantChangeType(&converted, &element, 0, kFloatKind<T>))) return false;
    if constexpr (std::is_same_v<T, float>)
        *out = converted.fltVal();
    else
        *out = converted.dblVal();
    return true;
}

template <class T>
HRESULT ReadNumbers(const SafeArray& array, ElementWalk walk, size_t count,
                    bool (*accepts)(VARTYPE), BadElement onBad, std::vector<T>* out,
                    NumberConversion conversion) {
    out->clear();
    const VARTYPE vt = array.ElementType();
    if (!accepts(vt)) return TYPE_E_TYPEMISMATCH;
    try {
        out->reserve(count);
        // Numbers convert without failing (but a checked double into a float
        // may overflow); a plain cast rounds as the conversion does.
        if (IsNumericElementType(vt) && (conversion == NumberConversion::Rounding ||
                                         !(std::is_same_v<T, float> && vt == VT_R8))) {
            WithStorage(vt, [&]<class S>(Tag<S>) {
                if constexpr (std::is_arithmetic_v<S>) {
                    const S* in = array.Data<S>().data() + walk.offset;
                    for (size_t i = 0; i < count; ++i)
                        out->push_back(static_cast<T>(in[i * walk.step]));
                }
            });
            return S_OK;
        }
        for (size_t i = 0; i < count; ++i) {
            const Variant element = array.ElementAt(walk.offset + i * walk.step);
            T number{};
            const bool converts = (vt != VT_VARIANT || accepts(element.vt())) &&
                                  ElementToNumber(element, conversion, &number);
            if (converts)
                out->push_back(number);
            else if (onBad == BadElement::Fail)
                return TYPE_E_TYPEMISMATCH;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

template <class T>
HRESULT ReadNumbers(const SafeArray& array, bool (*accepts)(VARTYPE), BadElement onBad,
                    std::vector<T>* out, NumberConversion conversion) {
    return ReadNumbers(array, ElementWalk{}, array.Count(), accepts, onBad, out, conversion);
}

template <class T>
HRESULT ReadNumericVector(const Variant& value, std::vector<T>* out) {
    const SafeArray* array = ArrayOf(value);
    if (!array || array->Dims() != 1) {
        out->clear();
        return TYPE_E_TYPEMISMATCH;
    }
    return ReadNumbers(*array, &IsNumericOrTextElementType, BadElement::Fail, out);
}

template <class T>
HRESULT MakeNumericVector(std::span<const T> values, int32_t lowerBound, Variant* out) {
    SafeArrayPtr array = CreateBlockVector(kFloatKind<T>, lowerBound, values.size());
    if (!array) return E_OUTOFMEMORY;
    std::copy(values.begin(), values.end(), array->Data<T>().begin());
    *out = Variant::Array(std::move(array));
    return S_OK;
}

template bool ElementToNumber(const Variant&, NumberConversion, float*);
template bool ElementToNumber(const Variant&, NumberConversion, double*);
template HRESULT ReadNumbers(const SafeArray&, ElementWalk, size_t, bool (*)(VARTYPE), BadElement,
                             std::vector<float>*, NumberConversion);
template HRESULT ReadNumbers(const SafeArray&, ElementWalk, size_t, bool (*)(VARTYPE), BadElement,
                             std::vector<double>*, NumberConversion);
template HRESULT ReadNumbers(const SafeArray&, bool (*)(VARTYPE), BadElement, std::vector<float>*,
                             NumberConversion);
template HRESULT ReadNumbers(const SafeArray&, bool (*)(VARTYPE), BadElement, std::vector<double>*,
                             NumberConversion);
template HRESULT ReadNumericVector(const Variant&, std::vector<float>*);
template HRESULT ReadNumericVector(const Variant&, std::vector<double>*);
template HRESULT MakeNumericVector(std::span<const float>, int32_t, Variant*);
template HRESULT MakeNumericVector(std::span<const double>, int32_t, Variant*);
