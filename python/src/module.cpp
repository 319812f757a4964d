// The compiled core of the tallykit package: blocks, values and the class list.
// The package's Python side (tallykit/__init__.py) builds the friendly surface.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "module/class_table.h"
#include "platform/events.h"
#include "platform/property_bag.h"
#include "python/src/block.h"
#include "python/src/convert.h"

namespace py = pybind11;

namespace {

const ClassEntry& ClassNamed(const std::string& name) {
    const ClassEntry* entry = FindClass(name);
    if (entry == nullptr)
        throw py::value_error("unknown class \"" + name + "\" (tallykit.classes() lists them)");
    return *entry;
}

std::string Text(std::string_view s) {
    return std::string(s);
}

// A member's signature as help shows it: "Name(a: i4) -> r8".
std::string Signature(const MemberDesc& m) {
    std::string text = Text(m.name);
    if (m.kind == MemberKind::Method || m.paramCount > 0) {
        text += m.kind == MemberKind::Method ? "(" : "[";
        for (size_t i = 0; i < m.paramCount; ++i) {
            if (i != 0) text += ", ";
            std::string name = Text(m.paramNames[i]);
            text += (name.empty() ? "arg" + std::to_string(i + 1) : name) + ": " +
                    Text(VarTypeName(m.paramTypes[i]));
        }
        text += m.kind == MemberKind::Method ? ")" : "]";
    }
    VARTYPE type = m.type != VT_EMPTY ? m.type : m.putType;
    if (type != VT_EMPTY)
        text += (m.kind == MemberKind::Method ? " -> " : ": ") + Text(VarTypeName(type));
    if (m.kind == MemberKind::Property && m.put == nullptr) text += " (read-only)";
    if (m.kind == MemberKind::Property && m.get == nullptr) text += " (write-only)";
    return text;
}

py::dict Describe(const std::string& name) {
    const ClassEntry& entry = ClassNamed(name);
    const ClassDescription d = DescribeClass(entry);
    py::list members, events;
    if (d.members != nullptr) {
        for (const MemberDesc* m : d.members->All()) {
            if (!m->hidden)
                members.append(py::make_tuple(Text(m->name), Signature(*m), Text(m->help)));
        }
    }
    if (d.events != nullptr) {
        for (const EventDesc* e : d.events->All()) {
            std::string sig = Text(e->name) + "(";
            for (size_t i = 0; i < e->paramTypes.size(); ++i) {
                if (i != 0) sig += ", ";
                sig += (i < e->paramNames.size() ? Text(e->paramNames[i]) : "arg") + ": " +
                       Text(VarTypeName(e->paramTypes[i]));
            }
            events.append(py::make_tuple(Text(e->name), sig + ")", Text(e->help)));
        }
    }
    py::dict out;
    out["progid"] = Text(entry.progId);
    out["name"] = Text(entry.coclass.empty() ? entry.className : entry.coclass);
    out["members"] = members;
    out["events"] = events;
    return out;
}

}  // namespace

PYBIND11_MODULE(_tallykit, m) {
    m.doc() = "Compiled core of tallykit; use the tallykit package.";
    tkpy::BindError(m);
    tkpy::BindValue(m);
    tkpy::BindBlock(m);
    m.def("_set_array_type", &tkpy::SetArrayType);
    m.def("_describe", &Describe, "Members and events of a class, for help texts.");
    m.def("_new", [](const std::string& name, py::handle type) {
        if (!PyType_Check(type.ptr())) throw py::type_error("expected a Block type");
        PyObject* block =
            tkpy::NewBlock(reinterpret_cast<PyTypeObject*>(type.ptr()), ClassNamed(name));
        if (block == nullptr) throw py::error_already_set();
        return py::reinterpret_steal<py::object>(block);
    });
    m.def("_saved_class", [](const std::string& text) {
        PropertyBag bag;
        std::string why;
        if (!PropertyBag::Parse(text, &bag, &why))
            throw py::value_error("not a saved block: " + why);
        const Variant* saved = bag.Read("_Class");
        if (saved == nullptr || saved->vt() != VT_BSTR)
            throw py::value_error("the saved block does not name its class (_Class)");
        return saved->bstrVal();
    });
    m.def("classes", [] {
        std::vector<std::tuple<std::string, std::string, std::string, bool>> rows;
        for (const ClassEntry& c : ClassTable())
            rows.emplace_back(Text(c.progId), Text(c.coclass), Text(c.className), c.registers);
        return rows;
    });
}
