#include "python/src/convert.h"

#include <pybind11/numpy.h>

#include <cstring>
#include <limits>
#include <vector>

#include "framework/status.h"
#include "platform/dispatch.h"
#include "platform/safearray.h"

namespace py = pybind11;

namespace tkpy {

// `take`: the value's array may become the result's memory.
PyObject* FromVariant(Variant& v, bool take);

namespace {

PyObject* g_arrayType = nullptr;  // tallykit.Array
PyObject* g_errorType = nullptr;  // tallykit.Error

constexpr VARTYPE kNoKind = 0xFFFF;

bool SetInt32(long long n, Variant* out) {
    if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max()) {
        PyErr_Format(PyExc_OverflowError,
                     "%lld does not fit in a 32-bit integer (i4); pass a float or "
                     "tallykit.Value(\"r8\", ...)",
                     n);
        return false;
    }
    *out = Variant::I4(static_cast<int32_t>(n));
    return true;
}

// The element kind an ndarray's dtype stands for; kNoKind when none.
VARTYPE ElementKindOf(const py::dtype& dt) {
    char kind = dt.kind();
    auto size = dt.itemsize();
    switch (kind) {
        case 'f':
            return size == 8 ? VARTYPE{VT_R8} : size == 4 ? VARTYPE{VT_R4} : kNoKind;
        case 'i':
            return size == 8 || size == 4 ? VARTYPE{VT_I4}
                   : size == 2            ? VARTYPE{VT_I2}
                   : size == 1            ? VARTYPE{VT_I1}
                                          : kNoKind;
        case 'u':
            return size == 4   ? VARTYPE{VT_UI4}
                   : size == 2 ? VARTYPE{VT_UI2}
                   : size == 1 ? VARTYPE{VT_UI1}
                               : kNoKind;
        case 'b':
            return VT_BOOL;
        case 'U':
            return VT_BSTR;
        case 'O':
            return VT_VARIANT;
        default:
            return kNoKind;
    }
}

template <class T>
void CopyIn(const py::array& fortran, SafeArray& sa) {
    std::span<T> dst = sa.Data<T>();
    std::memcpy(dst.data(), fortran.data(), dst.size_bytes());
}

// Elements one by one, in storage order, for the kinds without a plain memory copy.
bool FillElements(const py::array& a, SafeArray& sa, VARTYPE vt) {
    py::list items = a.attr("flatten")("F").attr("tolist")();
    for (size_t i = 0; i < items.size(); ++i) {
        Variant v;
        if (!ToVariant(items[i].ptr(), &v)) return false;
        if (vt != VT_VARIANT && v.vt() != vt && FAILED(VariantChangeType(&v, &v, 0, vt))) {
            PyErr_Format(PyExc_ValueError, "array element %zu does not convert to %s", i,
                         std::string(VarTypeName(vt)).c_str());
            return false;
        }
        HRESULT hr = sa.SetElementAt(i, v);
        if (FAILED(hr)) {
            RaiseError(hr, "array element " + std::to_string(i), "");
            return false;
        }
    }
    return true;
}

bool ArrayToVariant(PyObject* object, Variant* out) {
    // Kept for the life of the process: freeing it after the interpreter is gone would crash.
    static py::object& asfortran =
        *new py::object(py::module_::import("numpy").attr("asfortranarray"));
    py::array a = py::reinterpret_borrow<py::object>(object);
    if (!py::isinstance<py::array>(a)) a = py::module_::import("numpy").attr("asarray")(a);
    auto ndim = a.ndim();
    if (ndim != 1 && ndim != 2) {
        PyErr_Format(PyExc_ValueError, "arrays have one or two dimensions, not %d",
                     static_cast<int>(ndim));
        return false;
    }
    VARTYPE vt = ElementKindOf(a.dtype());
    if (vt == kNoKind) {
        std::string dt = py::str(a.dtype());
        PyErr_Format(PyExc_TypeError, "no array kind for dtype %s", dt.c_str());
        return false;
    }
    SAFEARRAYBOUND bounds[2];
    py::object lbound = py::getattr(py::handle(object), "lbound", py::none());
    for (py::ssize_t d = 0; d < ndim; ++d) {
        bounds[d].cElements = static_cast<uint32_t>(a.shape(d));
        bounds[d].lLbound = 0;
        if (!lbound.is_none()) bounds[d].lLbound = py::cast<int32_t>(lbound[py::int_(d)]);
    }
    SafeArrayPtr sa = SafeArrayCreate(vt, static_cast<uint32_t>(ndim), bounds);
    if (!sa) {
        PyErr_SetString(PyExc_ValueError, "the array's bounds do not fit 32-bit indices");
        return false;
    }
    bool wide = a.dtype().kind() == 'i' && a.dtype().itemsize() == 8;
    if (wide) {  // NumPy's default integers: stored as i4 when every one fits
        py::array_t<int64_t, py::array::f_style | py::array::forcecast> f(a);
        std::span<int32_t> dst = sa->Data<int32_t>();
        for (size_t i = 0; i < dst.size(); ++i) {
            Variant v;
            if (!SetInt32(f.data()[i], &v)) return false;
            dst[i] = v.lVal();
        }
    } else {
        py::array f = asfortran(a);
        switch (vt) {
            case VT_R8:
                CopyIn<double>(f, *sa);
                break;
            case VT_R4:
                CopyIn<float>(f, *sa);
                break;
            case VT_I4:
                CopyIn<int32_t>(f, *sa);
                break;
            case VT_I2:
                CopyIn<int16_t>(f, *sa);
                break;
            case VT_I1:
                CopyIn<int8_t>(f, *sa);
                break;
            case VT_UI4:
                CopyIn<uint32_t>(f, *sa);
                break;
            case VT_UI2:
                CopyIn<uint16_t>(f, *sa);
                break;
            case VT_UI1:
                CopyIn<uint8_t>(f, *sa);
                break;
            case VT_BOOL: {
                std::span<int16_t> dst = sa->Data<int16_t>();
                auto* src = static_cast<const bool*>(f.data());
                for (size_t i = 0; i < dst.size(); ++i)
                    dst[i] = src[i] ? VARIANT_TRUE : 0;
                break;
            }
            default:
                if (!FillElements(f, *sa, vt)) return false;
        }
    }
    *out = Variant::Array(std::move(sa));
    return true;
}

// The elements as an ndarray in the block's storage order. An array the caller
// hands over (`owned`) becomes the ndarray's memory, without a copy.
template <class T>
py::array NumPyOf(const SafeArray& sa, const std::vector<py::ssize_t>& shape, SafeArrayPtr* owned) {
    std::vector<py::ssize_t> strides{sizeof(T)};
    if (shape.size() == 2) strides.push_back(static_cast<py::ssize_t>(sizeof(T)) * shape[0]);
    std::span<const T> src = sa.Data<T>();
    if (owned != nullptr && *owned && !src.empty()) {
        py::capsule keeper(owned->release(), [](void* p) {
            SafeArrayDestroy(SafeArrayPtr(static_cast<SafeArray*>(p)));
        });
        return py::array_t<T>(shape, strides, src.data(), keeper);
    }
    py::array_t<T> a(shape, strides);
    if (!src.empty()) std::memcpy(a.mutable_data(), src.data(), src.size_bytes());
    return a;
}

PyObject* ArrayFromVariant(const SafeArray& sa, SafeArrayPtr* owned) {
    std::vector<py::ssize_t> shape;
    for (uint32_t d = 0; d < sa.Dims(); ++d)
        shape.push_back(sa.Bound(d).cElements);
    py::array a;
    switch (sa.ElementType()) {
        case VT_R8:
            a = NumPyOf<double>(sa, shape, owned);
            break;
        case VT_R4:
            a = NumPyOf<float>(sa, shape, owned);
            break;
        case VT_I4:
        case VT_INT:
            a = NumPyOf<int32_t>(sa, shape, owned);
            break;
        case VT_I2:
            a = NumPyOf<int16_t>(sa, shape, owned);
            break;
        case VT_I1:
            a = NumPyOf<int8_t>(sa, shape, owned);
            break;
        case VT_UI4:
        case VT_UINT:
            a = NumPyOf<uint32_t>(sa, shape, owned);
            break;
        case VT_UI2:
            a = NumPyOf<uint16_t>(sa, shape, owned);
            break;
        case VT_UI1:
            a = NumPyOf<uint8_t>(sa, shape, owned);
            break;
        case VT_BOOL:
            a = NumPyOf<int16_t>(sa, shape, nullptr).attr("astype")("bool");
            break;
        default: {
            py::list items;
            for (size_t i = 0; i < sa.Count(); ++i) {
                PyObject* item = FromVariant(sa.ElementAt(i));
                if (item == nullptr) return nullptr;
                items.append(py::reinterpret_steal<py::object>(item));
            }
            const char* dtype = sa.ElementType() == VT_BSTR ? "U" : "O";
            py::object np = py::module_::import("numpy");
            a = np.attr("array")(items, py::arg("dtype") = dtype);
            if (sa.ElementType() == VT_BSTR && sa.Count() == 0) a = np.attr("array")(items, "U1");
            py::tuple dims(shape.size());
            for (size_t d = 0; d < shape.size(); ++d)
                dims[d] = py::int_(shape[d]);
            a = a.attr("reshape")(dims, py::arg("order") = "F");
        }
    }
    py::tuple lbound(sa.Dims());
    for (uint32_t d = 0; d < sa.Dims(); ++d)
        lbound[d] = py::int_(sa.Bound(d).lLbound);
    py::object wrapped = a.attr("view")(py::handle(g_arrayType));
    wrapped.attr("lbound") = lbound;
    return wrapped.release().ptr();
}

// Any Python error becomes the pending exception; a C++ one a RuntimeError.
template <class F>
auto Guard(F&& f, decltype(f()) failed) -> decltype(f()) {
    try {
        return f();
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (const py::cast_error& e) {
        PyErr_SetString(PyExc_TypeError, e.what());
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    }
    return failed;
}

}  // namespace

bool ToVariant(PyObject* o, Variant* out) {
    if (PyFloat_CheckExact(o)) {
        *out = Variant::R8(PyFloat_AS_DOUBLE(o));
        return true;
    }
    if (PyBool_Check(o)) {
        *out = Variant::Bool(o == Py_True);
        return true;
    }
    if (PyLong_Check(o)) {
        int overflow = 0;
        long long n = PyLong_AsLongLongAndOverflow(o, &overflow);
        if (overflow != 0)
            n = overflow > 0 ? std::numeric_limits<long long>::max()
                             : std::numeric_limits<long long>::min();
        if (n == -1 && PyErr_Occurred()) return false;
        return SetInt32(n, out);
    }
    if (PyFloat_Check(o)) {  // float subclasses, numpy.float64 among them
        *out = Variant::R8(PyFloat_AsDouble(o));
        return true;
    }
    if (PyUnicode_Check(o)) {
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(o, &size);
        if (text == nullptr) return false;
        *out = Variant::Str(std::string(text, static_cast<size_t>(size)));
        return true;
    }
    if (o == Py_None) {
        out->Clear();
        return true;
    }
    if (DispatchOf(o, out)) return true;
    return Guard(
        [&] {
            py::handle h(o);
            if (py::isinstance<KindedValue>(h)) {
                *out = h.cast<const KindedValue&>().value;
                return true;
            }
            if (py::isinstance<py::array>(h) || PyList_Check(o) || PyTuple_Check(o))
                return ArrayToVariant(o, out);
            // NumPy scalars of integer and Boolean kinds.
            if (PyObject_HasAttrString(o, "dtype") && PyIndex_Check(o)) {
                py::int_ n = py::reinterpret_steal<py::int_>(PyNumber_Index(o));
                if (!n) throw py::error_already_set();
                return ToVariant(n.ptr(), out);
            }
            PyErr_Format(PyExc_TypeError, "a %s is not a value a block takes", Py_TYPE(o)->tp_name);
            return false;
        },
        false);
}

PyObject* FromVariant(Variant& v, bool take) {
    switch (v.vt()) {
        case VT_EMPTY:
            Py_RETURN_NONE;
        case VT_R8:
            return PyFloat_FromDouble(v.dblVal());
        case VT_R4:
            return PyFloat_FromDouble(v.fltVal());
        case VT_I4:
        case VT_INT:
            return PyLong_FromLong(v.lVal());
        case VT_I2:
            return PyLong_FromLong(v.iVal());
        case VT_I1:
            return PyLong_FromLong(v.cVal());
        case VT_UI1:
            return PyLong_FromLong(v.bVal());
        case VT_UI2:
            return PyLong_FromLong(v.uiVal());
        case VT_UI4:
        case VT_UINT:
            return PyLong_FromUnsignedLong(v.ulVal());
        case VT_I8:
            return PyLong_FromLongLong(v.llVal());
        case VT_UI8:
            return PyLong_FromUnsignedLongLong(v.ullVal());
        case VT_BOOL:
            return PyBool_FromLong(v.boolVal() != 0);
        case VT_BSTR:
            return PyUnicode_DecodeUTF8(v.bstrVal().data(),
                                        static_cast<Py_ssize_t>(v.bstrVal().size()), "replace");
        default:
            break;
    }
    if (v.vt() == VT_DISPATCH) {
        if (PyObject* block = BlockFor(v.pdispVal())) {
            Py_INCREF(block);
            return block;
        }
    }
    return Guard(
        [&]() -> PyObject* {
            if (v.IsArray() && v.parray() != nullptr) {
                SafeArrayPtr owned;
                if (take) owned = v.TakeArray();
                const SafeArray& sa = take ? *owned : *v.parray();
                return ArrayFromVariant(sa, take ? &owned : nullptr);
            }
            return py::cast(KindedValue{v}).release().ptr();
        },
        nullptr);
}

PyObject* FromVariant(const Variant& v) {
    return FromVariant(const_cast<Variant&>(v), false);
}

PyObject* FromResult(Variant& v) {
    return FromVariant(v, true);
}

VARTYPE KindNamed(const std::string& name) {
    for (VARTYPE vt = 0; vt <= VT_UINT; ++vt) {
        std::string_view known = VarTypeName(vt);
        if (!known.empty() && NamesEqual(known, name)) return vt;
    }
    return kNoKind;
}

void SetArrayType(py::object type) {
    Py_XDECREF(g_arrayType);
    g_arrayType = type.release().ptr();
}

PyObject* RaiseError(HRESULT hr, const std::string& context, const std::string& detail) {
    std::string message = StatusText(static_cast<int32_t>(hr));
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    std::string text = context + ": " + code + " " + message;
    if (!detail.empty()) text += " (" + detail + ")";
    PyObject* error = PyObject_CallFunction(g_errorType, "s", text.c_str());
    if (error == nullptr) return nullptr;
    PyObject* code_obj = PyLong_FromUnsignedLong(static_cast<uint32_t>(hr));
    PyObject_SetAttrString(error, "hresult", code_obj);
    Py_XDECREF(code_obj);
    PyObject* message_obj = PyUnicode_FromString(message.c_str());
    PyObject_SetAttrString(error, "message", message_obj);
    Py_XDECREF(message_obj);
    PyErr_SetObject(g_errorType, error);
    Py_DECREF(error);
    return nullptr;
}

void BindError(py::module_& m) {
    g_errorType = PyErr_NewExceptionWithDoc(
        "tallykit.Error",
        "A block refused a call. `hresult` holds the code (unsigned), `message` its text.", nullptr,
        nullptr);
    m.add_object("Error", py::handle(g_errorType));
}

void BindValue(py::module_& m) {
    py::class_<KindedValue>(m, "Value",
                            "A value of an explicit kind, as the host names kinds: "
                            "Value(\"i2\", 5), Value(\"date\", 45000.5), Value(\"null\").")
        .def(py::init([](const std::string& kind, py::object value) {
                 VARTYPE vt = KindNamed(kind);
                 if (vt == kNoKind) throw py::value_error("unknown kind \"" + kind + "\"");
                 if (vt == VT_NULL) return KindedValue{Variant::Null()};
                 // Error codes convert from no other kind: an int is the code itself.
                 if (vt == VT_ERROR && PyLong_Check(value.ptr()))
                     return KindedValue{Variant::Error(
                         static_cast<SCODE>(PyLong_AsUnsignedLongLongMask(value.ptr())))};
                 Variant v;
                 if (!ToVariant(value.ptr(), &v)) throw py::error_already_set();
                 if (v.vt() != vt) {
                     HRESULT hr = VariantChangeType(&v, &v, 0, vt);
                     if (FAILED(hr)) {
                         RaiseError(hr, "Value(\"" + kind + "\")", "");
                         throw py::error_already_set();
                     }
                 }
                 return KindedValue{std::move(v)};
             }),
             py::arg("kind"), py::arg("value") = py::none())
        .def_property_readonly(
            "kind", [](const KindedValue& k) { return std::string(VarTypeName(k.value.vt())); })
        .def_property_readonly(
            "value",
            [](const KindedValue& k) -> py::object {
                // The nearest plain Python value: numbers of the
                // decimal, currency and date kinds as floats.
                Variant plain = k.value;
                if (plain.vt() == VT_CY || plain.vt() == VT_DATE || plain.vt() == VT_DECIMAL)
                    VariantChangeType(&plain, &plain, 0, VT_R8);
                if (plain.vt() == VT_ERROR) return py::int_(plain.scode());
                if (plain.vt() == VT_NULL) return py::none();
                PyObject* o = FromVariant(plain);
                if (o == nullptr) throw py::error_already_set();
                return py::reinterpret_steal<py::object>(o);
            })
        .def("__eq__",
             [](const KindedValue& a, py::object b) {
                 Variant other;
                 if (!ToVariant(b.ptr(), &other)) {
                     PyErr_Clear();
                     return false;
                 }
                 return a.value == other;
             })
        .def("__repr__", [](const KindedValue& k) {
            py::object value = py::cast(k).attr("value");
            return "Value(\"" + std::string(VarTypeName(k.value.vt())) + "\", " +
                   std::string(py::repr(value)) + ")";
        });
}

}  // namespace tkpy
