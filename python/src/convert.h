#pragma once
// Values between Python and the blocks: float <-> r8, int <-> i4, str <-> bstr,
// bool <-> bool, None <-> empty, NumPy arrays <-> arrays (first index fastest,
// lower bounds on tallykit.Array), and tallykit.Value for any other kind.
#include <Python.h>
#include <pybind11/pybind11.h>

#include <string>

#include "platform/variant.h"

namespace tkpy {

// A value of an explicit kind, as Python sees it: tallykit.Value("i2", 5).
struct KindedValue {
    Variant value;
};

// Converts a Python object into *out. On failure sets a Python exception
// (OverflowError for an int outside 32 bits, TypeError for an object with no
// value kind, ValueError for an array the blocks cannot hold) and returns false.
bool ToVariant(PyObject* object, Variant* out);
// A new reference to the Python form of `value`, or null with an exception set.
PyObject* FromVariant(const Variant& value);
// The same for a result the caller is done with: an array's memory passes to NumPy.
PyObject* FromResult(Variant& value);

// The kind named as the host prints it ("i2", "bstr"); VT_ILLEGAL-like 0xFFFF if none.
VARTYPE KindNamed(const std::string& name);

// tallykit.Array, the ndarray subclass that carries lower bounds; set once at import.
void SetArrayType(pybind11::object type);

// Registers tallykit.Value on the module.
void BindValue(pybind11::module_& m);

// Raises tallykit.Error(hresult, message); always returns null.
PyObject* RaiseError(HRESULT hr, const std::string& context, const std::string& detail);
void BindError(pybind11::module_& m);

// Maps a control back to its live Python block, for dispatch values the
// blocks hand out; kept up to date by the block type.
PyObject* BlockFor(IDispatch* dispatch);          // borrowed, or null
bool DispatchOf(PyObject* object, Variant* out);  // true when `object` is a block

}  // namespace tkpy
