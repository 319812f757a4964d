#pragma once
// tallykit.Block: one control, its members as Python attributes read from its
// member table at run time, its events as Python callbacks, its persisted
// properties as property-bag text.
#include <Python.h>
#include <pybind11/pybind11.h>

#include "module/class_table.h"

namespace tkpy {

// Creates the Block type and adds it to the module.
void BindBlock(pybind11::module_& m);

// A new block of class `entry` as an instance of `type` (Block or a subclass),
// sited in run mode and initialised as new. Null with an exception set on failure.
PyObject* NewBlock(PyTypeObject* type, const ClassEntry& entry);

}  // namespace tkpy
