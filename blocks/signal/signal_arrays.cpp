#include "blocks/signal/signal_arrays.h"

#include <cstdlib>
#include <string>

#include "platform/hresult.h"

namespace {

template <class T>
void ConvertAll(const SafeArray& a, std::vector<float>& out) {
    std::span<const T> in = a.Data<T>();
    for (size_t i = 0; i < in.size(); ++i)
        out[i] = static_cast<float>(in[i]);
}

// The whole text must be a number; leading blanks are allowed, trailing
// characters (blanks included) are not.
bool ParseWholeNumber(const std::string& text, float* out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || *end != '\0') return false;
    *out = static_cast<float>(value);
    return true;
}

bool IsNumberKind(VARTYPE vt) {
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

void AppendScalar(const Variant& v, std::vector<double>& out) {
    if (!IsNumberKind(v.vt()) && v.vt() != VT_BSTR) return;
    Variant d;
    if (SUCCEEDED(VariantChangeType(&d, &v, 0, VT_R8))) out.push_back(d.dblVal());
}

template <class T>
void AppendAll(const SafeArray& a, std::vector<double>& out) {
    std::span<const T> in = a.Data<T>();
    out.insert(out.end(), in.begin(), in.end());
}

}  // namespace

FloatReading ReadFloatArray(const Variant& value, std::vector<float>& out) {
    const SafeArray* a = value.IsArray() ? value.parray() : nullptr;
    if (a == nullptr || a->Dims() != 1) return {TYPE_E_TYPEMISMATCH, 0};
    out.resize(a->Count());
    switch (a->ElementType()) {
        case VT_I1:
            ConvertAll<int8_t>(*a, out);
            break;
        case VT_UI1:
            ConvertAll<uint8_t>(*a, out);
            break;
        case VT_I2:
            ConvertAll<int16_t>(*a, out);
            break;
        case VT_UI2:
            ConvertAll<uint16_t>(*a, out);
            break;
        case VT_I4:
        case VT_INT:
            ConvertAll<int32_t>(*a, out);
            break;
        case VT_UI4:
        case VT_UINT:
            ConvertAll<uint32_t>(*a, out);
            break;
        case VT_R4:
            ConvertAll<float>(*a, out);
            break;
        case VT_R8:
            ConvertAll<double>(*a, out);
            break;
        case VT_BSTR: {
            std::span<const std::string> in = a->Data<std::string>();
            for (size_t i = 0; i < in.size(); ++i) {
                if (!ParseWholeNumber(in[i], &out[i])) return {TYPE_E_TYPEMISMATCH, i};
            }
            break;
        }
        default:
            return {TYPE_E_TYPEMISMATCH, 0};
    }
    return {0, out.size()};
}

bool AppendDoubles(const Variant& value, std::vector<double>& out) {
    if (!value.IsArray()) {
        AppendScalar(value, out);
        return true;
    }
    const SafeArray* a = value.parray();
    if (a == nullptr) return true;
    if (a->Dims() != 1) return false;
    switch (a->ElementType()) {
        case VT_I1:
            AppendAll<int8_t>(*a, out);
            break;
        case VT_UI1:
            AppendAll<uint8_t>(*a, out);
            break;
        case VT_I2:
            AppendAll<int16_t>(*a, out);
            break;
        case VT_UI2:
            AppendAll<uint16_t>(*a, out);
            break;
        case VT_I4:
        case VT_INT:
            AppendAll<int32_t>(*a, out);
            break;
        case VT_UI4:
        case VT_UINT:
            AppendAll<uint32_t>(*a, out);
            break;
        case VT_R4:
            AppendAll<float>(*a, out);
            break;
        case VT_R8:
            AppendAll<double>(*a, out);
            break;
        case VT_BSTR:
        case VT_VARIANT:
            for (size_t i = 0; i < a->Count(); ++i)
                AppendScalar(a->ElementAt(i), out);
            break;
        default:
            break;
    }
    return true;
}

SafeArrayPtr MakeDoubleMatrix(uint32_t rows, uint32_t columns, std::span<double>* data) {
    if (static_cast<size_t>(rows) * columns > kMaxSignalElements) return nullptr;
    const SAFEARRAYBOUND bounds[2] = {{rows, 0}, {columns, 0}};
    SafeArrayPtr a = SafeArrayCreate(VT_R8, 2, bounds);
    if (a) *data = a->Data<double>();
    return a;
}
