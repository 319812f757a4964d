#include "python/src/block.h"

#include <array>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/events.h"
#include "platform/property_bag.h"
#include "python/src/convert.h"

namespace py = pybind11;

namespace tkpy {
namespace {

// Python blocks run in run mode, named after their class.
class PythonSite final : public IControlSite {
  public:
    explicit PythonSite(std::string name) : name_(std::move(name)) {}
    bool AmbientUserMode() const override { return true; }
    std::string AmbientDisplayName() const override { return name_; }
    LCID AmbientLocaleID() const override { return LOCALE_USER_DEFAULT; }
    void OnBoundPropertyChanged(DISPID) override {}

  private:
    std::string name_;
};

struct BlockObject;

// Attribute name -> member, per class: a dict of every name seen (member as
// int, or None for the Python object's own attributes), and in front of it the
// names used last, compared by identity (attribute names in code are interned).
struct ClassCache {
    PyObject* names = nullptr;
    struct Recent {
        PyObject* name = nullptr;  // one reference, so the address stays its own
        const MemberDesc* member = nullptr;
    };
    std::array<Recent, 16> recent;
};

// What the event sink knows of its block: cleared when the block goes, so a
// delivery already under way finds no block rather than a freed one.
struct SinkLink {
    BlockObject* block = nullptr;
};

struct BlockObject {
    PyObject_HEAD COleControl* control;  // one reference
    const ClassEntry* entry;
    struct ClassCache* cache;  // shared by the blocks of one class
    PyObject* handlers;        // event name -> list of callables
    PythonSite* site;
    std::shared_ptr<SinkLink>* link;
    uint32_t cookie;
};

// A method, or a property with index parameters, of one block.
struct MemberObject {
    PyObject_HEAD PyObject* block;
    const MemberDesc* member;
};

PyTypeObject* g_blockType = nullptr;
PyTypeObject* g_memberType = nullptr;
std::unordered_map<IDispatch*, PyObject*> g_live;
std::unordered_map<const ClassEntry*, ClassCache> g_caches;  // never freed: one per class

std::string ClassName(const ClassEntry& e) {
    return std::string(e.coclass.empty() ? e.className : e.coclass);
}

std::string Context(const BlockObject* b, const MemberDesc* m) {
    return ClassName(*b->entry) + "." + std::string(m->name);
}

// The member a Python attribute name stands for, or null for attributes of the
// Python object itself (its type's methods, dunders), looked up once per name.
const MemberDesc* LookupSlow(BlockObject* b, PyObject* name) {
    PyObject* hit = PyDict_GetItemWithError(b->cache->names, name);
    if (hit != nullptr)
        return hit == Py_None ? nullptr : static_cast<const MemberDesc*>(PyLong_AsVoidPtr(hit));
    if (PyErr_Occurred() || !PyUnicode_Check(name)) return nullptr;
    const char* text = PyUnicode_AsUTF8(name);
    if (text == nullptr) return nullptr;
    const MemberDesc* m = nullptr;
    // The type's own attributes (on, save, __class__ ...) come first.
    if (text[0] != '_' && _PyType_Lookup(Py_TYPE(b), name) == nullptr)
        m = b->control->Members().Find(text);
    PyObject* entry =
        m != nullptr ? PyLong_FromVoidPtr(const_cast<MemberDesc*>(m)) : Py_NewRef(Py_None);
    if (entry == nullptr) return nullptr;
    PyDict_SetItem(b->cache->names, name, entry);
    Py_DECREF(entry);
    return m;
}

const MemberDesc* Lookup(BlockObject* b, PyObject* name) {
    auto& slot = b->cache->recent[(reinterpret_cast<uintptr_t>(name) >> 4) % 16];
    if (slot.name == name) return slot.member;
    const MemberDesc* m = LookupSlow(b, name);
    if (PyErr_Occurred()) return nullptr;
    Py_XSETREF(slot.name, Py_NewRef(name));
    slot.member = m;
    return m;
}

// An enumeration member takes its value names as well as numbers.
bool EnumByName(const MemberDesc* m, PyObject* value, Variant* out) {
    if (m->enumeration == nullptr || !PyUnicode_Check(value)) return false;
    const char* text = PyUnicode_AsUTF8(value);
    if (text == nullptr) {
        PyErr_Clear();
        return false;
    }
    for (const ::EnumValue& e : m->enumeration->values) {
        if (NamesEqual(e.name, text)) {
            *out = Variant::I4(e.value);
            return true;
        }
    }
    return false;
}

// The exception for a call the block refused, with what the member expected.
PyObject* Refused(BlockObject* b, const MemberDesc* m, HRESULT hr, uint32_t argErr, size_t count,
                  bool isPut) {
    std::string detail;
    if (hr == DISP_E_BADPARAMCOUNT) {
        detail = "takes " + std::to_string(m->paramCount) + " argument(s)";
    } else if (hr == DISP_E_TYPEMISMATCH) {
        bool isValue = isPut && argErr + 1 == count;
        VARTYPE kind = isValue                  ? m->putType
                       : argErr < m->paramCount ? m->paramTypes[argErr]
                                                : VARTYPE{VT_EMPTY};
        detail = (isValue ? std::string("the value") : "argument " + std::to_string(argErr + 1)) +
                 " does not convert to " + std::string(VarTypeName(kind));
    }
    return RaiseError(hr, Context(b, m), detail);
}

// Invokes a member with `args`; S_OK or the refusal, with a C++ exception
// turned into a Python one (E_UNEXPECTED then).
HRESULT Invoke(BlockObject* b, const MemberDesc* m, uint16_t flags, std::span<Variant> args,
               Variant* result, uint32_t* argErr) {
    try {
        return b->control->Invoke(m->dispid, flags, args, result, argErr);
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    }
    return E_UNEXPECTED;
}

// Invokes a member with the Python arguments in `args` (a tuple or null) and,
// for a put, `value`. A new reference to the result, or null with an exception set.
PyObject* Access(BlockObject* b, const MemberDesc* m, uint16_t flags, PyObject* args,
                 PyObject* value) {
    std::array<Variant, kMaxParams + 1> vars;
    Py_ssize_t count = args != nullptr ? PyTuple_GET_SIZE(args) : 0;
    if (count > static_cast<Py_ssize_t>(kMaxParams)) {
        return PyErr_Format(PyExc_TypeError, "%s takes %d arguments, not %zd",
                            Context(b, m).c_str(), m->paramCount, count);
    }
    for (Py_ssize_t i = 0; i < count; ++i) {
        if (!ToVariant(PyTuple_GET_ITEM(args, i), &vars[i])) return nullptr;
    }
    if (value != nullptr) {
        if (!EnumByName(m, value, &vars[count]) && !ToVariant(value, &vars[count])) return nullptr;
        ++count;
    }
    Variant result;
    uint32_t argErr = 0;
    auto n = static_cast<size_t>(count);
    HRESULT hr = Invoke(b, m, flags, std::span<Variant>(vars.data(), n), &result, &argErr);
    if (PyErr_Occurred()) return nullptr;
    if (FAILED(hr)) return Refused(b, m, hr, argErr, n, value != nullptr);
    if (value != nullptr) Py_RETURN_NONE;
    return FromResult(result);
}

// --- the block type -----------------------------------------------------------

PyObject* BlockGetattro(PyObject* self, PyObject* name) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    const MemberDesc* m = Lookup(b, name);
    if (m == nullptr) return PyErr_Occurred() ? nullptr : PyObject_GenericGetAttr(self, name);
    if (m->kind == MemberKind::Method || m->paramCount > 0) {
        auto* bound = PyObject_New(MemberObject, g_memberType);
        if (bound == nullptr) return nullptr;
        bound->block = Py_NewRef(self);
        bound->member = m;
        return reinterpret_cast<PyObject*>(bound);
    }
    if (m->get == nullptr) {
        return PyErr_Format(PyExc_AttributeError, "%s is write-only", Context(b, m).c_str());
    }
    Variant result;
    HRESULT hr = Invoke(b, m, DISPATCH_PROPERTYGET, {}, &result, nullptr);
    if (PyErr_Occurred()) return nullptr;
    return FAILED(hr) ? Refused(b, m, hr, 0, 0, false) : FromResult(result);
}

int BlockSetattro(PyObject* self, PyObject* name, PyObject* value) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    const MemberDesc* m = Lookup(b, name);
    if (m == nullptr) return PyErr_Occurred() ? -1 : PyObject_GenericSetAttr(self, name, value);
    const char* why = value == nullptr                ? "cannot be deleted"
                      : m->kind == MemberKind::Method ? "is a method"
                      : m->paramCount > 0             ? "takes an index: set it with [...]"
                      : m->put == nullptr             ? "is read-only"
                                                      : nullptr;
    if (why != nullptr) {
        PyErr_Format(PyExc_AttributeError, "%s %s", Context(b, m).c_str(), why);
        return -1;
    }
    // The common case, one value and no index, without Access's argument array.
    Variant v;
    if (!EnumByName(m, value, &v) && !ToVariant(value, &v)) return -1;
    uint32_t argErr = 0;
    HRESULT hr = Invoke(b, m, DISPATCH_PROPERTYPUT, std::span<Variant>(&v, 1), nullptr, &argErr);
    if (PyErr_Occurred()) return -1;
    if (FAILED(hr)) Refused(b, m, hr, argErr, 1, true);
    return FAILED(hr) ? -1 : 0;
}

void DeliverEvent(const std::shared_ptr<SinkLink>& link, DISPID dispid,
                  std::span<const Variant> args) {
    BlockObject* b = link->block;
    if (b == nullptr || b->handlers == nullptr) return;
    const EventDesc* e = b->control->Events().Find(dispid);
    if (e == nullptr) return;
    PyObject* self = Py_NewRef(reinterpret_cast<PyObject*>(b));
    PyObject* key =
        PyUnicode_FromStringAndSize(e->name.data(), static_cast<Py_ssize_t>(e->name.size()));
    PyObject* list = key != nullptr ? PyDict_GetItemWithError(b->handlers, key) : nullptr;
    PyObject* callbacks = list != nullptr ? PySequence_List(list) : nullptr;
    PyObject* pyArgs =
        callbacks != nullptr ? PyTuple_New(static_cast<Py_ssize_t>(args.size())) : nullptr;
    for (size_t i = 0; pyArgs != nullptr && i < args.size(); ++i) {
        PyObject* a = FromVariant(args[i]);
        if (a == nullptr)
            Py_CLEAR(pyArgs);
        else
            PyTuple_SET_ITEM(pyArgs, static_cast<Py_ssize_t>(i), a);
    }
    if (PyErr_Occurred()) PyErr_WriteUnraisable(key);
    // A callback that raises is reported and the next one still runs: the block's
    // event sequence goes on as if nobody had listened.
    for (Py_ssize_t i = 0; pyArgs != nullptr && i < PyList_GET_SIZE(callbacks); ++i) {
        PyObject* fn = PyList_GET_ITEM(callbacks, i);
        PyObject* r = PyObject_Call(fn, pyArgs, nullptr);
        if (r == nullptr) PyErr_WriteUnraisable(fn);
        Py_XDECREF(r);
    }
    Py_XDECREF(pyArgs);
    Py_XDECREF(callbacks);
    Py_XDECREF(key);
    Py_DECREF(self);
}

const EventDesc* EventNamed(BlockObject* b, const char* name) {
    const EventDesc* e = b->control->Events().Find(std::string_view(name));
    if (e == nullptr)
        PyErr_Format(PyExc_AttributeError, "%s has no event %s", ClassName(*b->entry).c_str(),
                     name);
    return e;
}

PyObject* BlockOn(PyObject* self, PyObject* args) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    const char* name;
    PyObject* fn;
    if (!PyArg_ParseTuple(args, "sO:on", &name, &fn)) return nullptr;
    if (!PyCallable_Check(fn)) return PyErr_Format(PyExc_TypeError, "the callback is not callable");
    const EventDesc* e = EventNamed(b, name);
    if (e == nullptr) return nullptr;
    if (b->handlers == nullptr && (b->handlers = PyDict_New()) == nullptr) return nullptr;
    PyObject* key =
        PyUnicode_FromStringAndSize(e->name.data(), static_cast<Py_ssize_t>(e->name.size()));
    PyObject* fresh = PyList_New(0);
    PyObject* list = key && fresh ? PyDict_SetDefault(b->handlers, key, fresh) : nullptr;
    int failed = list == nullptr || PyList_Append(list, fn) < 0;
    Py_XDECREF(fresh);
    Py_XDECREF(key);
    return failed ? nullptr : Py_NewRef(fn);
}

PyObject* BlockOff(PyObject* self, PyObject* args) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    const char* name;
    PyObject* fn = Py_None;
    if (!PyArg_ParseTuple(args, "s|O:off", &name, &fn)) return nullptr;
    const EventDesc* e = EventNamed(b, name);
    if (e == nullptr) return nullptr;
    if (b->handlers == nullptr) Py_RETURN_NONE;
    PyObject* list = PyDict_GetItemString(b->handlers, std::string(e->name).c_str());
    if (list == nullptr) Py_RETURN_NONE;
    for (Py_ssize_t i = PyList_GET_SIZE(list) - 1; i >= 0; --i) {
        PyObject* item = PyList_GET_ITEM(list, i);
        int same = fn == Py_None ? 1 : PyObject_RichCompareBool(item, fn, Py_EQ);
        if (same < 0 || (same && PySequence_DelItem(list, i) < 0)) return nullptr;
    }
    Py_RETURN_NONE;
}

constexpr const char* kClassKey = "_Class";

PyObject* BlockSaveText(PyObject* self, PyObject*) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    PropertyBag bag;
    bag.Write(kClassKey, Variant::Str(std::string(b->entry->progId)));
    b->control->Save(bag);
    std::string text = bag.Serialize();
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* BlockLoadText(PyObject* self, PyObject* arg) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(arg, &size);
    if (text == nullptr) return nullptr;
    PropertyBag bag;
    std::string why;
    if (!PropertyBag::Parse(std::string_view(text, static_cast<size_t>(size)), &bag, &why))
        return PyErr_Format(PyExc_ValueError, "not a saved block: %s", why.c_str());
    const Variant* saved = bag.Read(kClassKey);
    if (saved != nullptr && saved->vt() == VT_BSTR && FindClass(saved->bstrVal()) != b->entry) {
        return PyErr_Format(PyExc_ValueError, "saved from %s, not %s", saved->bstrVal().c_str(),
                            std::string(b->entry->progId).c_str());
    }
    b->control->Load(bag);
    Py_RETURN_NONE;
}

PyObject* BlockDir(PyObject* self, PyObject*) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    PyObject* names = PyObject_Dir(reinterpret_cast<PyObject*>(Py_TYPE(self)));
    for (const MemberDesc* m : b->control->Members().All()) {
        if (names == nullptr) break;
        if (m->hidden) continue;
        PyObject* n =
            PyUnicode_FromStringAndSize(m->name.data(), static_cast<Py_ssize_t>(m->name.size()));
        if (n == nullptr || PyList_Append(names, n) < 0) Py_CLEAR(names);
        Py_XDECREF(n);
    }
    return names;
}

PyObject* BlockProgId(PyObject* self, void*) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    return PyUnicode_FromStringAndSize(b->entry->progId.data(),
                                       static_cast<Py_ssize_t>(b->entry->progId.size()));
}

PyObject* BlockRepr(PyObject* self) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    return PyUnicode_FromFormat("<tallykit %s block>", ClassName(*b->entry).c_str());
}

int BlockTraverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(reinterpret_cast<BlockObject*>(self)->handlers);
    return 0;
}

int BlockClear(PyObject* self) {
    Py_CLEAR(reinterpret_cast<BlockObject*>(self)->handlers);
    return 0;
}

void BlockDealloc(PyObject* self) {
    auto* b = reinterpret_cast<BlockObject*>(self);
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    if (b->link != nullptr) {
        (*b->link)->block = nullptr;
        delete b->link;
    }
    if (b->control != nullptr) {
        g_live.erase(b->control);
        if (b->cookie != 0) b->control->Unadvise(b->cookie);
        b->control->SetClientSite(nullptr);
        b->control->Release();
    }
    delete b->site;
    Py_CLEAR(b->handlers);
    type->tp_free(self);
}

PyMethodDef kBlockMethods[] = {
    {"on", BlockOn, METH_VARARGS,
     "on(event, fn): calls fn(*args) whenever the block fires `event`, in the order "
     "callbacks were added. Returns fn."},
    {"off", BlockOff, METH_VARARGS,
     "off(event, fn=None): removes fn, or every callback of `event`."},
    {"_save_text", BlockSaveText, METH_NOARGS, "The persisted properties as property-bag text."},
    {"_load_text", BlockLoadText, METH_O, "Loads persisted properties from property-bag text."},
    {"__dir__", BlockDir, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr}};

PyGetSetDef kBlockGetSet[] = {{"progid", BlockProgId, nullptr, "The block's ProgID.", nullptr},
                              {nullptr, nullptr, nullptr, nullptr, nullptr}};

// --- bound members ------------------------------------------------------------

BlockObject* Owner(PyObject* self) {
    return reinterpret_cast<BlockObject*>(reinterpret_cast<MemberObject*>(self)->block);
}

const MemberDesc* Desc(PyObject* self) {
    return reinterpret_cast<MemberObject*>(self)->member;
}

PyObject* MemberCall(PyObject* self, PyObject* args, PyObject* kwargs) {
    if (kwargs != nullptr && PyDict_GET_SIZE(kwargs) != 0)
        return PyErr_Format(PyExc_TypeError, "block members take positional arguments only");
    const MemberDesc* m = Desc(self);
    uint16_t flags = m->kind == MemberKind::Method ? DISPATCH_METHOD : DISPATCH_PROPERTYGET;
    return Access(Owner(self), m, flags, args, nullptr);
}

PyObject* AsTuple(PyObject* key) {
    return PyTuple_Check(key) ? Py_NewRef(key) : PyTuple_Pack(1, key);
}

PyObject* MemberGetItem(PyObject* self, PyObject* key) {
    const MemberDesc* m = Desc(self);
    if (m->kind == MemberKind::Method || m->get == nullptr)
        return PyErr_Format(PyExc_TypeError, "%s cannot be read by index",
                            Context(Owner(self), m).c_str());
    PyObject* args = AsTuple(key);
    if (args == nullptr) return nullptr;
    PyObject* r = Access(Owner(self), m, DISPATCH_PROPERTYGET, args, nullptr);
    Py_DECREF(args);
    return r;
}

int MemberSetItem(PyObject* self, PyObject* key, PyObject* value) {
    const MemberDesc* m = Desc(self);
    if (m->kind == MemberKind::Method || m->put == nullptr || value == nullptr) {
        PyErr_Format(PyExc_TypeError, "%s cannot be set by index", Context(Owner(self), m).c_str());
        return -1;
    }
    PyObject* args = AsTuple(key);
    if (args == nullptr) return -1;
    PyObject* r = Access(Owner(self), m, DISPATCH_PROPERTYPUT, args, value);
    Py_DECREF(args);
    Py_XDECREF(r);
    return r != nullptr ? 0 : -1;
}

PyObject* MemberRepr(PyObject* self) {
    const MemberDesc* m = Desc(self);
    return PyUnicode_FromFormat("<%s %s>",
                                m->kind == MemberKind::Method ? "method" : "indexed property",
                                Context(Owner(self), m).c_str());
}

PyObject* MemberDoc(PyObject* self, void*) {
    const MemberDesc* m = Desc(self);
    return PyUnicode_FromStringAndSize(m->help.data(), static_cast<Py_ssize_t>(m->help.size()));
}

void MemberDealloc(PyObject* self) {
    Py_XDECREF(reinterpret_cast<MemberObject*>(self)->block);
    PyObject_Free(self);
}

PyGetSetDef kMemberGetSet[] = {{"__doc__", MemberDoc, nullptr, nullptr, nullptr},
                               {nullptr, nullptr, nullptr, nullptr, nullptr}};

PyTypeObject g_blockTypeObject{};
PyTypeObject g_memberTypeObject{};

// Both types are static, filled in once at import.
bool ReadyTypes() {
    PyTypeObject& block = g_blockTypeObject;
    Py_SET_REFCNT(reinterpret_cast<PyObject*>(&block), 1);
    block.tp_name = "tallykit.Block";
    block.tp_basicsize = sizeof(BlockObject);
    block.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC;
    block.tp_getattro = BlockGetattro;
    block.tp_setattro = BlockSetattro;
    block.tp_dealloc = BlockDealloc;
    block.tp_traverse = BlockTraverse;
    block.tp_clear = BlockClear;
    block.tp_repr = BlockRepr;
    block.tp_methods = kBlockMethods;
    block.tp_getset = kBlockGetSet;
    block.tp_doc = "A TallyKit block; create one with tallykit.create(name).";

    PyTypeObject& member = g_memberTypeObject;
    Py_SET_REFCNT(reinterpret_cast<PyObject*>(&member), 1);
    member.tp_name = "tallykit.Member";
    member.tp_basicsize = sizeof(MemberObject);
    member.tp_flags = Py_TPFLAGS_DEFAULT;
    member.tp_call = MemberCall;
    member.tp_repr = MemberRepr;
    member.tp_dealloc = MemberDealloc;
    member.tp_getset = kMemberGetSet;
    static PyMappingMethods indexing{nullptr, MemberGetItem, MemberSetItem};
    member.tp_as_mapping = &indexing;
    return PyType_Ready(&block) == 0 && PyType_Ready(&member) == 0;
}

}  // namespace

PyObject* BlockFor(IDispatch* dispatch) {
    auto it = g_live.find(dispatch);
    return it != g_live.end() ? it->second : nullptr;
}

bool DispatchOf(PyObject* object, Variant* out) {
    if (!PyObject_TypeCheck(object, g_blockType)) return false;
    *out = Variant::Dispatch(ComPtr<IDispatch>(reinterpret_cast<BlockObject*>(object)->control));
    return true;
}

PyObject* NewBlock(PyTypeObject* type, const ClassEntry& entry) {
    if (!PyType_IsSubtype(type, g_blockType))
        return PyErr_Format(PyExc_TypeError, "%s is not a Block type", type->tp_name);
    ComPtr<COleControl> control;
    try {
        control = entry.create();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
        return nullptr;
    }
    if (!control)
        return PyErr_Format(PyExc_RuntimeError, "the class factory of %s created nothing",
                            ClassName(entry).c_str());
    ClassCache& cache = g_caches[&entry];
    if (cache.names == nullptr && (cache.names = PyDict_New()) == nullptr) return nullptr;
    auto* b = reinterpret_cast<BlockObject*>(type->tp_alloc(type, 0));
    if (b == nullptr) return nullptr;
    b->entry = &entry;
    b->cache = &cache;
    b->control = control.Get();
    b->control->AddRef();
    b->site = new PythonSite(ClassName(entry));
    b->link = new std::shared_ptr<SinkLink>(std::make_shared<SinkLink>(SinkLink{b}));
    b->control->SetClientSite(b->site);
    std::shared_ptr<SinkLink> link = *b->link;
    b->cookie = b->control->Advise(
        ComPtr<IDispatch>(MakeCom<EventSink>([link](DISPID dispid, std::span<const Variant> args) {
            DeliverEvent(link, dispid, args);
        })));
    g_live[b->control] = reinterpret_cast<PyObject*>(b);
    b->control->InitNew();
    return reinterpret_cast<PyObject*>(b);
}

void BindBlock(py::module_& m) {
    if (!ReadyTypes()) throw py::error_already_set();
    g_blockType = &g_blockTypeObject;
    g_memberType = &g_memberTypeObject;
    m.add_object("Block", py::handle(reinterpret_cast<PyObject*>(g_blockType)));
    m.add_object("Member", py::handle(reinterpret_cast<PyObject*>(g_memberType)));
}

}  // namespace tkpy
