#pragma once
// Arrays of one element kind with one or two dimensions (SAFEARRAY semantics).
// Each dimension has a signed lower bound and a count; the first index runs
// fastest in storage. Elements are kept contiguous in storage order so that hot
// loops (FFT, statistics, filters) can work on them directly.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/variant.h"

struct SAFEARRAYBOUND {
    uint32_t cElements = 0;
    int32_t lLbound = 0;
};

class SafeArray {
  public:
    ~SafeArray();
    VARTYPE ElementType() const { return vt_; }
    uint32_t Dims() const { return static_cast<uint32_t>(bounds_.size()); }
    // Bound of dimension `dim` (0 = first, the fastest running).
    const SAFEARRAYBOUND& Bound(uint32_t dim) const { return bounds_[dim]; }
    // Number of elements over all dimensions.
    size_t Count() const;

    // Storage-order access for hot paths. Each requires the element kind's
    // storage: int8_t (I1), uint8_t (UI1), int16_t (I2, BOOL), uint16_t (UI2),
    // int32_t (I4, INT, ERROR), uint32_t (UI4, UINT), float (R4), double (R8, DATE),
    // CY, DECIMAL, std::string (BSTR), Variant (VARIANT). A mismatch gives an empty span.
    template <class T>
    std::span<T> Data();
    template <class T>
    std::span<const T> Data() const {
        return const_cast<SafeArray*>(this)->Data<T>();
    }

    // Storage position of an index tuple (indices[0] for the first dimension),
    // or -1 when it lies outside the bounds or does not have Dims() indices.
    int64_t Offset(std::span<const int32_t> indices) const;
    // Element at a storage position as a value of the element kind; an empty
    // value for a position at or past Count().
    Variant ElementAt(size_t offset) const;
    // Stores `v` at a storage position; `v` must have the element kind, or any
    // kind when the elements are variants. DISP_E_TYPEMISMATCH otherwise,
    // DISP_E_BADINDEX for a position at or past Count(), E_OUTOFMEMORY when a
    // string or array cannot be copied.
    HRESULT SetElementAt(size_t offset, const Variant& v);

  private:
    friend SafeArrayPtr SafeArrayCreate(VARTYPE, uint32_t, const SAFEARRAYBOUND*);
    friend HRESULT SafeArrayRedim(SafeArray*, const SAFEARRAYBOUND*);
    friend HRESULT SafeArrayCopy(const SafeArray*, SafeArrayPtr*);
    SafeArray() = default;

    struct Storage;  // one typed vector, chosen by the element kind
    VARTYPE vt_ = VT_EMPTY;
    std::vector<SAFEARRAYBOUND> bounds_;
    std::unique_ptr<Storage> storage_;
};

// Whether `vt` is one of the sixteen element kinds the blocks store and fetch
// (I2, I4, R4, R8, CY, DATE, BSTR, ERROR, BOOL, DECIMAL, I1, UI1, UI2, UI4, INT,
// UINT). VT_VARIANT is not among them, although arrays of variants exist.
bool IsStorableElementType(VARTYPE vt);

// Creates an array with zero-initialised elements (0, empty string, FALSE,
// empty value). Null when the kind is neither storable nor VT_VARIANT, the
// dimension count is not 1 or 2, `bounds` is null, an upper bound (lower bound
// + count - 1) is not a 32-bit integer, or memory runs out.
SafeArrayPtr SafeArrayCreate(VARTYPE vt, uint32_t cDims, const SAFEARRAYBOUND* bounds);
SafeArrayPtr SafeArrayCreateVector(VARTYPE vt, int32_t lLbound, uint32_t cElements);
// Number of dimensions; 0 for a null array.
uint32_t SafeArrayGetDim(const SafeArray* psa);
// nDim is 1-based as on the platform; DISP_E_BADINDEX for a dimension that does not exist,
// E_INVALIDARG for a null array or result pointer.
HRESULT SafeArrayGetLBound(const SafeArray* psa, uint32_t nDim, int32_t* plLbound);
HRESULT SafeArrayGetUBound(const SafeArray* psa, uint32_t nDim, int32_t* plUbound);
// indices[0] is the first dimension; there are Dims() of them. DISP_E_BADINDEX
// outside the bounds, E_INVALIDARG for a null array, index list or `out`; a put
// fails as SetElementAt does. Strings are copied in both directions.
HRESULT SafeArrayGetElement(const SafeArray* psa, const int32_t* indices, Variant* out);
HRESULT SafeArrayPutElement(SafeArray* psa, const int32_t* indices, const Variant& v);
// Changes the last dimension's bound and count. Elements keep their storage
// order and position (a lowered lower bound renumbers them), those beyond the
// new count are dropped, added ones are zero. Growth one element at a time is
// amortised O(1). E_INVALIDARG for a null array or bound or an upper bound that
// is not a 32-bit integer, E_OUTOFMEMORY when growth fails (the array is then
// unchanged).
HRESULT SafeArrayRedim(SafeArray* psa, const SAFEARRAYBOUND* newBound);
// Deep copy (strings and nested arrays included) into *out; a null array
// copies as null. E_INVALIDARG for a null `out`, E_OUTOFMEMORY (*out unchanged).
HRESULT SafeArrayCopy(const SafeArray* psa, SafeArrayPtr* out);
// Releases the array (null included); always S_OK.
HRESULT SafeArrayDestroy(SafeArrayPtr psa);
