#include "platform/safearray.h"

#include <algorithm>
#include <limits>
#include <new>
#include <type_traits>
#include <variant>

namespace {

// One alternative per storage type; several element kinds share one (I4, INT
// and ERROR all keep int32_t), the kind itself is remembered beside it.
using Elements = std::variant<std::vector<int8_t>, std::vector<uint8_t>, std::vector<int16_t>,
                              std::vector<uint16_t>, std::vector<int32_t>, std::vector<uint32_t>,
                              std::vector<float>, std::vector<double>, std::vector<CY>,
                              std::vector<DECIMAL>, std::vector<std::string>, std::vector<Variant>>;

// How values of one element kind enter and leave storage.
struct ElementKind {
    VARTYPE vt;
    Elements (*empty)();
    Variant (*read)(const Elements& elements, size_t offset);
    void (*write)(Elements& elements, size_t offset, const Variant& v);
};

// The storage type follows from the payload reader, so a row cannot pair a
// kind with the wrong vector.
template <auto Get>
using StorageOf = std::remove_cvref_t<std::invoke_result_t<decltype(Get), const Variant&>>;

template <class T>
Elements EmptyElements() {
    return Elements(std::in_place_type<std::vector<T>>);
}

template <auto Get, auto Make>
Variant ReadScalar(const Elements& elements, size_t offset) {
    return Make(std::get<std::vector<StorageOf<Get>>>(elements)[offset]);
}

template <auto Get>
void WriteScalar(Elements& elements, size_t offset, const Variant& v) {
    std::get<std::vector<StorageOf<Get>>>(elements)[offset] = (v.*Get)();
}

template <auto Get, auto Make>
constexpr ElementKind Scalar(VARTYPE vt) {
    return {vt, &EmptyElements<StorageOf<Get>>, &ReadScalar<Get, Make>, &WriteScalar<Get>};
}

Variant ReadVariant(const Elements& elements, size_t offset) {
    return std::get<std::vector<Variant>>(elements)[offset];
}

void WriteVariant(Elements& elements, size_t offset, const Variant& v) {
    std::get<std::vector<Variant>>(elements)[offset] = v;
}

constexpr auto kBstrVal = static_cast<const std::string& (Variant::*)() const>(&Variant::bstrVal);

constexpr ElementKind kElementKinds[] = {
    Scalar<&Variant::iVal, &Variant::I2>(VT_I2),
    Scalar<&Variant::lVal, &Variant::I4>(VT_I4),
    Scalar<&Variant::fltVal, &Variant::R4>(VT_R4),
    Scalar<&Variant::dblVal, &Variant::R8>(VT_R8),
    Scalar<&Variant::cyVal, &Variant::Cy>(VT_CY),
    Scalar<&Variant::date, &Variant::Date>(VT_DATE),
    Scalar<kBstrVal, &Variant::Str>(VT_BSTR),
    Scalar<&Variant::scode, &Variant::Error>(VT_ERROR),
    // The raw maker keeps whatever bits were stored (a reset may hold 1).
    Scalar<&Variant::boolVal, &Variant::BoolRaw>(VT_BOOL),
    Scalar<&Variant::decVal, &Variant::Decimal>(VT_DECIMAL),
    Scalar<&Variant::cVal, &Variant::I1>(VT_I1),
    Scalar<&Variant::bVal, &Variant::UI1>(VT_UI1),
    Scalar<&Variant::uiVal, &Variant::UI2>(VT_UI2),
    Scalar<&Variant::ulVal, &Variant::UI4>(VT_UI4),
    Scalar<&Variant::lVal, &Variant::Int>(VT_INT),
    Scalar<&Variant::ulVal, &Variant::UInt>(VT_UINT),
    {VT_VARIANT, &EmptyElements<Variant>, &ReadVariant, &WriteVariant},
};
// Arrays of variants exist, although the blocks store and fetch only the others.
static_assert(InStepWithValueKinds(kElementKinds, [](const ValueKind& k) {
    return k.storable || k.vt == VT_VARIANT;
}));

const ElementKind* FindElementKind(VARTYPE vt) {
    for (const ElementKind& kind : kElementKinds) {
        if (kind.vt == vt) return &kind;
    }
    return nullptr;
}

// Indices are 32-bit, so an element (or the upper bound of an empty
// dimension) that no index can name is refused rather than wrapped.
bool BoundFits(const SAFEARRAYBOUND& bound) {
    const int64_t upper = int64_t{bound.lLbound} + int64_t{bound.cElements} - 1;
    return upper >= std::numeric_limits<int32_t>::min() &&
           upper <= std::numeric_limits<int32_t>::max();
}

// Sets the element count, zero-filling added elements. Growth relies on the
// vector's geometric reallocation, so appending one at a time is amortised
// O(1); capacity is kept on a moderate shrink (a collector that re-bases and
// grows again must not reallocate each time) and only returned once the
// array uses less than a quarter of it, which keeps shrink/grow cycles
// amortised too. False when the count cannot be held.
bool ResizeElements(Elements& elements, uint64_t count) {
    return std::visit(
        [count](auto& v) {
            // Checked first so that an impossible count never reaches the allocator.
            if (count > v.max_size()) return false;
            try {
                v.resize(static_cast<size_t>(count));
            } catch (const std::bad_alloc&) {
                return false;
            }
            if (v.size() < v.capacity() / 4) v.shrink_to_fit();
            return true;
        },
        elements);
}

const SAFEARRAYBOUND* DimensionBound(const SafeArray* psa, uint32_t nDim) {
    if (nDim == 0 || nDim > psa->Dims()) return nullptr;
    return &psa->Bound(nDim - 1);
}

}  // namespace

struct SafeArray::Storage {
    explicit Storage(const ElementKind& k) : kind(&k), elements(k.empty()) {}

    const ElementKind* kind;
    Elements elements;
};

SafeArray::~SafeArray() = default;

size_t SafeArray::Count() const {
    size_t count = 1;
    for (const SAFEARRAYBOUND& bound : bounds_)
        count *= bound.cElements;
    return count;
}

template <class T>
std::span<T> SafeArray::Data() {
    auto* elements = std::get_if<std::vector<T>>(&storage_->elements);
    return elements ? std::span<T>(*elements) : std::span<T>();
}

template std::span<int8_t> SafeArray::Data<int8_t>();
template std::span<uint8_t> SafeArray::Data<uint8_t>();
template std::span<int16_t> SafeArray::Data<int16_t>();
template std::span<uint16_t> SafeArray::Data<uint16_t>();
template std::span<int32_t> SafeArray::Data<int32_t>();
template std::span<uint32_t> SafeArray::Data<uint32_t>();
template std::span<float> SafeArray::Data<float>();
template std::span<double> SafeArray::Data<double>();
template std::span<CY> SafeArray::Data<CY>();
template std::span<DECIMAL> SafeArray::Data<DECIMAL>();
template std::span<std::string> SafeArray::Data<std::string>();
template std::span<Variant> SafeArray::Data<Variant>();

int64_t SafeArray::Offset(std::span<const int32_t> indices) const {
    if (indices.size() != bounds_.size()) return -1;
    // Creation and Redim keep the element count within the vector's limits,
    // so neither the offset nor the stride can overflow.
    int64_t offset = 0;
    int64_t stride = 1;
    for (size_t d = 0; d < bounds_.size(); ++d) {
        const int64_t position = int64_t{indices[d]} - bounds_[d].lLbound;
        if (position < 0 || position >= int64_t{bounds_[d].cElements}) return -1;
        offset += position * stride;
        stride *= bounds_[d].cElements;
    }
    return offset;
}

Variant SafeArray::ElementAt(size_t offset) const {
    if (offset >= Count()) return Variant();
    return storage_->kind->read(storage_->elements, offset);
}

HRESULT SafeArray::SetElementAt(size_t offset, const Variant& v) {
    if (offset >= Count()) return DISP_E_BADINDEX;
    if (vt_ != VT_VARIANT && v.vt() != vt_) return DISP_E_TYPEMISMATCH;
    try {
        storage_->kind->write(storage_->elements, offset, v);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

bool IsStorableElementType(VARTYPE vt) {
    const ValueKind* kind = FindValueKind(vt);
    return kind && kind->storable;
}

SafeArrayPtr SafeArrayCreate(VARTYPE vt, uint32_t cDims, const SAFEARRAYBOUND* bounds) {
    const ElementKind* kind = FindElementKind(vt);
    if (!kind || (cDims != 1 && cDims != 2) || !bounds) return nullptr;
    if (!std::all_of(bounds, bounds + cDims, BoundFits)) return nullptr;
    // At most two 32-bit counts: the product fits 64 bits.
    uint64_t count = 1;
    for (uint32_t d = 0; d < cDims; ++d)
        count *= bounds[d].cElements;
    try {
        SafeArrayPtr psa(new SafeArray());
        psa->vt_ = vt;
        psa->bounds_.assign(bounds, bounds + cDims);
        psa->storage_ = std::make_unique<SafeArray::Storage>(*kind);
        if (!ResizeElements(psa->storage_->elements, count)) return nullptr;
        return psa;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

SafeArrayPtr SafeArrayCreateVector(VARTYPE vt, int32_t lLbound, uint32_t cElements) {
    const SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

uint32_t SafeArrayGetDim(const SafeArray* psa) {
    return psa ? psa->Dims() : 0;
}

HRESULT SafeArrayGetLBound(const SafeArray* psa, uint32_t nDim, int32_t* plLbound) {
    if (!psa || !plLbound) return E_INVALIDARG;
    const SAFEARRAYBOUND* bound = DimensionBound(psa, nDim);
    if (!bound) return DISP_E_BADINDEX;
    *plLbound = bound->lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(const SafeArray* psa, uint32_t nDim, int32_t* plUbound) {
    if (!psa || !plUbound) return E_INVALIDARG;
    const SAFEARRAYBOUND* bound = DimensionBound(psa, nDim);
    if (!bound) return DISP_E_BADINDEX;
    // BoundFits was checked when the bound was set.
    *plUbound = static_cast<int32_t>(int64_t{bound->lLbound} + int64_t{bound->cElements} - 1);
    return S_OK;
}

HRESULT SafeArrayGetElement(const SafeArray* psa, const int32_t* indices, Variant* out) {
    if (!psa || !indices || !out) return E_INVALIDARG;
    const int64_t offset = psa->Offset({indices, psa->Dims()});
    if (offset < 0) return DISP_E_BADINDEX;
    try {
        *out = psa->ElementAt(static_cast<size_t>(offset));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT SafeArrayPutElement(SafeArray* psa, const int32_t* indices, const Variant& v) {
    if (!psa || !indices) return E_INVALIDARG;
    const int64_t offset = psa->Offset({indices, psa->Dims()});
    if (offset < 0) return DISP_E_BADINDEX;
    return psa->SetElementAt(static_cast<size_t>(offset), v);
}

HRESULT SafeArrayRedim(SafeArray* psa, const SAFEARRAYBOUND* newBound) {
    if (!psa || !newBound || !BoundFits(*newBound)) return E_INVALIDARG;
    // Only the last dimension changes; the first index runs fastest, so the
    // kept elements stay where they are and the vector just grows or shrinks.
    uint64_t count = newBound->cElements;
    for (uint32_t d = 0; d + 1 < psa->Dims(); ++d)
        count *= psa->bounds_[d].cElements;
    if (!ResizeElements(psa->storage_->elements, count)) return E_OUTOFMEMORY;
    psa->bounds_.back() = *newBound;
    return S_OK;
}

HRESULT SafeArrayCopy(const SafeArray* psa, SafeArrayPtr* out) {
    if (!out) return E_INVALIDARG;
    if (!psa) {
        out->reset();
        return S_OK;
    }
    try {
        SafeArrayPtr copy(new SafeArray());
        copy->vt_ = psa->vt_;
        copy->bounds_ = psa->bounds_;
        copy->storage_ = std::make_unique<SafeArray::Storage>(*psa->storage_);
        *out = std::move(copy);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT SafeArrayDestroy(SafeArrayPtr psa) {
    psa.reset();
    return S_OK;
}
