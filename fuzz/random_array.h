#pragma once
// Random typed values for fuzz targets that feed arrays to blocks: arrays of
// any element type (the storable ones, arrays of variants, and types no array
// can hold), with 0 to 3 dimensions (0: a single value; 3: refused by the
// platform, so the value stays empty), bounds near 0 and at the limits of 32
// bits, and at most 15 elements per dimension; and indexes drawn the same way.
#include <cstdint>
#include <iterator>

#include "fuzz/fuzz_input.h"
#include "platform/safearray.h"

namespace random_array {

// The element types tried: the sixteen storable ones, variants, and three that
// no array holds.
constexpr VARTYPE kElementTypes[] = {
    VT_I2, VT_I4,  VT_R4,  VT_R8,  VT_CY,  VT_DATE, VT_BSTR,    VT_ERROR, VT_BOOL, VT_DECIMAL,
    VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_INT, VT_UINT, VT_VARIANT, VT_EMPTY, VT_I8,   VT_DISPATCH};

// An index or bound: mostly small, sometimes at or next to a 32-bit limit.
inline int32_t Index(FuzzBytes& in) {
    switch (in.Byte() % 8) {
        case 0:
            return INT32_MIN + in.Byte() % 4;
        case 1:
            return INT32_MAX - in.Byte() % 4;
        case 2:
            return in.Raw<int32_t>();
        default:
            return static_cast<int8_t>(in.Byte()) / 8;
    }
}

// A single value of kind `vt` (a random kind for VT_VARIANT); the kinds that
// have no payload give empty.
inline Variant Scalar(FuzzBytes& in, VARTYPE vt) {
    switch (vt) {
        case VT_I2:
            return Variant::I2(in.Raw<int16_t>());
        case VT_I4:
            return Variant::I4(in.Raw<int32_t>());
        case VT_R4:
            return Variant::R4(in.Raw<float>());
        case VT_R8:
            return Variant::R8(in.Raw<double>());
        case VT_CY:
            return Variant::Cy({in.Raw<int64_t>()});
        case VT_DATE:
            return Variant::Date(static_cast<double>(in.Raw<int32_t>()) / 8);
        case VT_BSTR:
            return Variant::Str(in.Text(8));
        case VT_ERROR:
            return Variant::Error(in.Raw<int32_t>());
        case VT_BOOL:
            return Variant::BoolRaw(in.Raw<int16_t>());
        case VT_DECIMAL: {
            DECIMAL d;
            d.scale = in.Byte() % 29;
            d.sign = in.Byte() % 2 ? DECIMAL_NEG : 0;
            d.Lo64 = in.Raw<uint64_t>();
            return Variant::Decimal(d);
        }
        case VT_I1:
            return Variant::I1(in.Raw<int8_t>());
        case VT_UI1:
            return Variant::UI1(in.Byte());
        case VT_UI2:
            return Variant::UI2(in.Raw<uint16_t>());
        case VT_UI4:
            return Variant::UI4(in.Raw<uint32_t>());
        case VT_INT:
            return Variant::Int(in.Raw<int32_t>());
        case VT_UINT:
            return Variant::UInt(in.Raw<uint32_t>());
        case VT_I8:
            return Variant::I8(in.Raw<int64_t>());
        case VT_VARIANT:
            return Scalar(in, kElementTypes[in.Byte() % 16]);
        default:
            return Variant();
    }
}

// A random value: a single value or an array as described above.
inline Variant Value(FuzzBytes& in) {
    const VARTYPE vt = kElementTypes[in.Byte() % std::size(kElementTypes)];
    const uint32_t dims = in.Byte() % 4;
    if (dims == 0) return Scalar(in, vt);
    SAFEARRAYBOUND bounds[3];
    for (uint32_t d = 0; d < dims; ++d)
        bounds[d] = {static_cast<uint32_t>(in.Byte() % 16), Index(in)};
    SafeArrayPtr array = SafeArrayCreate(vt, dims, bounds);
    for (size_t i = 0; array && i < array->Count(); ++i)
        array->SetElementAt(i, Scalar(in, vt));
    return Variant::Array(std::move(array));
}

}  // namespace random_array
