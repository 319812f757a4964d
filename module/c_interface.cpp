// The C interface: opaque handles around the module's controls, values
// converted at the border, every failure an HRESULT.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "module/class_table.h"
#include "platform/events.h"
#include "platform/safearray.h"
#include "platform/value_text.h"
#include "tallykit/tallykit.h"

struct tk_object {
    ComPtr<COleControl> control;
    uint32_t refs = 1;
    std::vector<uint32_t> cookies;  // event connections made through this handle
};

struct tk_class_factory {
    const ClassEntry* entry = nullptr;  // null for a property page's factory
    uint32_t locks = 0;
};

namespace {

// Handles alive now. A handle is checked here before it is used, so a stale
// or made-up pointer is refused instead of followed.
std::unordered_set<const void*>& Live() {
    static std::unordered_set<const void*> live;
    return live;
}
size_t g_serverLocks = 0;

bool Alive(const void* handle) {
    return handle != nullptr && Live().count(handle) != 0;
}

HRESULT CheckHandle(const void* handle) {
    if (handle == nullptr) return E_POINTER;
    return Alive(handle) ? S_OK : TK_E_HANDLE;
}

char* CopyText(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

HRESULT ToVariant(const tk_value& in, Variant* out) {
    // A C caller may store any number in the kind: read it as the integer it
    // is, so an unknown one is refused instead of loaded as an enumerator.
    std::underlying_type_t<tk_kind> kind;
    std::memcpy(&kind, &in.kind, sizeof kind);
    switch (kind) {
        case TK_EMPTY:
            out->Clear();
            return S_OK;
        case TK_INTEGER:
            *out = Variant::I4(in.integer);
            return S_OK;
        case TK_NUMBER:
            *out = Variant::R8(in.number);
            return S_OK;
        case TK_BOOL:
            *out = Variant::Bool(in.boolean != 0);
            return S_OK;
        case TK_TEXT:
            if (in.text == nullptr) return E_POINTER;
            *out = Variant::Str(in.text);
            return S_OK;
        case TK_ARRAY: {
            if (in.array == nullptr && in.count != 0) return E_POINTER;
            if (in.count > UINT32_MAX) return E_INVALIDARG;
            SafeArrayPtr array = SafeArrayCreateVector(VT_R8, 0, static_cast<uint32_t>(in.count));
            if (!array) return E_OUTOFMEMORY;
            if (in.count != 0) std::memcpy(array->Data<double>().data(), in.array, in.count * 8);
            *out = Variant::Array(std::move(array));
            return S_OK;
        }
    }
    return DISP_E_BADVARTYPE;
}

bool IsIntegerKind(VARTYPE vt) {
    return vt == VT_I1 || vt == VT_UI1 || vt == VT_I2 || vt == VT_UI2 || vt == VT_I4 ||
           vt == VT_INT;
}

bool IsNumberKind(VARTYPE vt) {
    return vt == VT_R4 || vt == VT_R8 || vt == VT_CY || vt == VT_DATE || vt == VT_DECIMAL ||
           vt == VT_UI4 || vt == VT_UINT || vt == VT_I8 || vt == VT_UI8;
}

HRESULT FromVariant(const Variant& in, tk_value* out) {
    *out = tk_value{};
    Variant converted;
    VARTYPE vt = in.vt();
    if (vt == VT_EMPTY || vt == VT_NULL) return S_OK;
    if (vt == VT_BOOL) {
        out->kind = TK_BOOL;
        out->boolean = in.boolVal() != 0;
        return S_OK;
    }
    if (IsIntegerKind(vt) && SUCCEEDED(VariantChangeType(&converted, &in, 0, VT_I4))) {
        out->kind = TK_INTEGER;
        out->integer = converted.lVal();
        return S_OK;
    }
    if (IsNumberKind(vt) && SUCCEEDED(VariantChangeType(&converted, &in, 0, VT_R8))) {
        out->kind = TK_NUMBER;
        out->number = converted.dblVal();
        return S_OK;
    }
    const SafeArray* array = in.IsArray() ? in.parray() : nullptr;
    VARTYPE element = array != nullptr ? array->ElementType() : VARTYPE{VT_EMPTY};
    if (array != nullptr && array->Dims() == 1 &&
        (IsIntegerKind(element) || IsNumberKind(element))) {
        size_t count = array->Count();
        auto* data = static_cast<double*>(std::malloc(count == 0 ? 1 : count * sizeof(double)));
        if (data == nullptr) return E_OUTOFMEMORY;
        for (size_t i = 0; i < count; ++i) {
            Variant item = array->ElementAt(i);
            data[i] = SUCCEEDED(VariantChangeType(&converted, &item, 0, VT_R8)) ? converted.dblVal()
                                                                                : 0.0;
        }
        out->kind = TK_ARRAY;
        out->array = data;
        out->count = count;
        return S_OK;
    }
    out->text = CopyText(vt == VT_BSTR ? in.bstrVal() : FormatValue(in));
    if (out->text == nullptr) return E_OUTOFMEMORY;
    out->kind = TK_TEXT;
    return S_OK;
}

tk_object* NewHandle(ComPtr<COleControl> control) {
    auto* object = new (std::nothrow) tk_object;
    if (object == nullptr) return nullptr;
    object->control = std::move(control);
    Live().insert(object);
    return object;
}

HRESULT CreateObject(const ClassEntry* entry, bool initNew, tk_object** object) {
    ComPtr<COleControl> control = entry->create();
    if (!control) return E_OUTOFMEMORY;
    if (initNew) control->InitNew();
    *object = NewHandle(std::move(control));
    return *object != nullptr ? S_OK : E_OUTOFMEMORY;
}

// Names and creates: shared by the loads.
HRESULT LoadBag(const char* name, PropertyBag& bag, tk_object** object) {
    const ClassEntry* entry = FindClass(name);
    if (entry == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
    HRESULT hr = CreateObject(entry, false, object);
    if (SUCCEEDED(hr)) (*object)->control->Load(bag);
    return hr;
}

HRESULT InvokeVariants(tk_object* object, DISPID dispid, uint16_t flags, const tk_value* args,
                       size_t count, tk_value* result) {
    if (args == nullptr && count != 0) return E_POINTER;
    std::vector<Variant> values(count);
    for (size_t i = 0; i < count; ++i) {
        if (HRESULT hr = ToVariant(args[i], &values[i]); FAILED(hr)) return hr;
    }
    Variant out;
    // The object stays alive through the call even if a callback releases it.
    ComPtr<COleControl> keep = object->control;
    HRESULT hr = keep->Invoke(dispid, flags, values, result != nullptr ? &out : nullptr);
    if (FAILED(hr) || result == nullptr) return hr;
    HRESULT converted = FromVariant(out, result);
    return FAILED(converted) ? converted : hr;
}

HRESULT InvokeByName(tk_object* object, const char* name, uint16_t flags, const tk_value* args,
                     size_t count, tk_value* result) {
    if (HRESULT hr = CheckHandle(object); FAILED(hr)) return hr;
    if (name == nullptr) return E_POINTER;
    DISPID dispid = DISPID_UNKNOWN;
    if (HRESULT hr = object->control->GetIDsOfNames(name, &dispid); FAILED(hr)) return hr;
    return InvokeVariants(object, dispid, flags, args, count, result);
}

}  // namespace

extern "C" {

void tk_value_clear(tk_value* value) {
    if (value == nullptr) return;
    std::free(value->text);
    std::free(value->array);
    *value = tk_value{};
}

void tk_free(void* buffer) {
    std::free(buffer);
}

tk_hresult DllGetClassObject(const char* clsid, const char* iid, void** factory) {
    if (clsid == nullptr || factory == nullptr) return E_POINTER;
    *factory = nullptr;
    const ClassEntry* entry = nullptr;
    for (const ClassEntry& c : ClassTable()) {
        if (NamesEqual(c.clsid, clsid)) entry = &c;
    }
    if (entry == nullptr && FindPage(clsid) == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
    if (iid != nullptr && !NamesEqual(iid, TK_IID_ICLASSFACTORY)) return E_NOINTERFACE;
    auto* f = new (std::nothrow) tk_class_factory{entry, 0};
    if (f == nullptr) return E_OUTOFMEMORY;
    Live().insert(f);
    *factory = f;
    return S_OK;
}

tk_hresult DllCanUnloadNow(void) {
    return Live().empty() && g_serverLocks == 0 ? S_OK : S_FALSE;
}

tk_hresult tk_factory_create_instance(tk_class_factory* factory, tk_object** object) {
    if (HRESULT hr = CheckHandle(factory); FAILED(hr)) return hr;
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // Property pages have their factories, but no page can be shown here yet.
    if (factory->entry == nullptr) return E_NOTIMPL;
    return CreateObject(factory->entry, true, object);
}

tk_hresult tk_factory_lock_server(tk_class_factory* factory, int lock) {
    if (HRESULT hr = CheckHandle(factory); FAILED(hr)) return hr;
    if (lock) {
        ++factory->locks;
        ++g_serverLocks;
    } else if (factory->locks != 0) {
        --factory->locks;
        --g_serverLocks;
    }
    return S_OK;
}

tk_hresult tk_factory_release(tk_class_factory* factory) {
    if (HRESULT hr = CheckHandle(factory); FAILED(hr)) return hr;
    g_serverLocks -= factory->locks;  // a released factory holds no lock
    Live().erase(factory);
    delete factory;
    return S_OK;
}

tk_hresult tk_create(const char* name, tk_object** object) {
    if (name == nullptr || object == nullptr) return E_POINTER;
    *object = nullptr;
    const ClassEntry* entry = FindClass(name);
    return entry != nullptr ? CreateObject(entry, true, object) : CLASS_E_CLASSNOTAVAILABLE;
}

tk_hresult tk_add_ref(tk_object* object) {
    if (HRESULT hr = CheckHandle(object); FAILED(hr)) return hr;
    ++object->refs;
    return S_OK;
}

tk_hresult tk_release(tk_object* object) {
    if (HRESULT hr = CheckHandle(object); FAILED(hr)) return hr;
    if (--object->refs != 0) return S_OK;
    Live().erase(object);
    for (uint32_t cookie : object->cookies)
        object->control->Unadvise(cookie);
    delete object;
    return S_OK;
}

tk_hresult tk_get_dispid(tk_object* object, const char* name, int32_t* dispid) {
    if (HRESULT hr = CheckHandle(object); FAILED(hr)) return hr;
    if (name == nullptr || dispid == nullptr) return E_POINTER;
    return object->control->GetIDsOfNames(name, dispid);
}

tk_hresult tk_invoke(tk_object* object, int32_t dispid, int flags, const tk_value* args,
                     size_t count, tk_value* result) {
    if (HRESULT hr = CheckHandle(object); FAILED(hr)) return hr;
    if (flags != TK_METHOD && flags != TK_PROPERTYGET && flags != TK_PROPERTYPUT) {
        return E_INVALIDARG;
    }
    return InvokeVariants(object, dispid, static_cast<uint16_t>(flags), args, count, result);
}

tk_hresult tk_get(tk_object* object, const char* name, tk_value* result) {
    if (result == nullptr) return E_POINTER;
    return InvokeByName(object, name, DISPATCH_PROPERTYGET, nullptr, 0, result);
}

tk_hresult tk_put(tk_object* object, const char* name, const tk_value* value) {
    if (value == nullptr) return E_POINTER;
    return InvokeByName(object, name, DISPATCH_PROPERTYPUT, value, 1, nullptr);
}

tk_hresult tk_call(tk_object* object, const char* name, const tk_value* args, size_t count,
                   tk_value* result) {
    return InvokeByName(object, name, DISPATCH_METHOD, args, count, result);
}

tk_hresult tk_connect(tk_object* object, tk_event_callback callback, void* context,
                      uint32_t* cookie) {
    if (HRESULT hr = CheckHandle(object); FAILED(hr)) return hr;
    if (callback == nullptr || cookie == nullptr) return E_POINTER;
    const EventTable* events = object->control->GetEventInfo();
    auto deliver = [object, callback, context, events](DISPID id, std::span<const Variant> args) {
        std::vector<tk_value> values(args.size());
        for (size_t i = 0; i < args.size(); ++i)
            FromVariant(args[i], &values[i]);
        const EventDesc* e = events != nullptr ? events->Find(id) : nullptr;
        std::string name = e != nullptr ? std::string(e->name) : std::string();
        callback(context, object, id, name.c_str(), values.data(), values.size());
        for (tk_value& v : values)
            tk_value_clear(&v);
    };
    *cookie = object->control->Advise(ComPtr<IDispatch>(MakeCom<EventSink>(deliver)));
    object->cookies.push_back(*cookie);
    return S_OK;
}

tk_hresult tk_disconnect(tk_object* object, uint32_t cookie) {
    if (HRESULT hr = CheckHandle(object); FAILED(hr)) return hr;
    auto& cookies = object->cookies;
    auto it = std::find(cookies.begin(), cookies.end(), cookie);
    if (it == cookies.end()) return E_INVALIDARG;
    cookies.erase(it);
    return object->control->Unadvise(cookie);
}

tk_hresult tk_save_buffer(tk_object* object, char** data, size_t* size) {
    if (HRESULT hr = CheckHandle(object); FAILED(hr)) return hr;
    if (data == nullptr || size == nullptr) return E_POINTER;
    PropertyBag bag;
    object->control->Save(bag);
    std::string text = bag.Serialize();
    *data = CopyText(text);
    *size = *data != nullptr ? text.size() : 0;
    return *data != nullptr ? S_OK : E_OUTOFMEMORY;
}

tk_hresult tk_load_buffer(const char* name, const char* data, size_t size, tk_object** object) {
    if (name == nullptr || object == nullptr || (data == nullptr && size != 0)) return E_POINTER;
    *object = nullptr;
    PropertyBag bag;
    if (!PropertyBag::Parse(std::string_view(data == nullptr ? "" : data, size), &bag, nullptr)) {
        return ERROR_INVALID_DATA_HR;
    }
    return LoadBag(name, bag, object);
}

tk_hresult tk_save_file(tk_object* object, const char* path) {
    if (HRESULT hr = CheckHandle(object); FAILED(hr)) return hr;
    if (path == nullptr) return E_POINTER;
    PropertyBag bag;
    object->control->Save(bag);
    return bag.SaveToFile(path, nullptr) ? S_OK : TK_E_WRITEFAULT;
}

tk_hresult tk_load_file(const char* name, const char* path, tk_object** object) {
    if (name == nullptr || path == nullptr || object == nullptr) return E_POINTER;
    *object = nullptr;
    PropertyBag bag;
    std::string error;
    if (!PropertyBag::LoadFromFile(path, &bag, &error)) {
        // Tell an unreadable file from one that does not parse.
        FILE* probe = std::fopen(path, "rb");
        if (probe == nullptr) return ERROR_FILE_NOT_FOUND_HR;
        std::fclose(probe);
        return ERROR_INVALID_DATA_HR;
    }
    return LoadBag(name, bag, object);
}

size_t tk_class_count(void) {
    return ClassTable().size();
}

tk_hresult tk_class_at(size_t index, tk_class_info* info) {
    if (info == nullptr) return E_POINTER;
    if (index >= ClassTable().size()) return E_INVALIDARG;
    const ClassEntry& c = ClassTable()[index];
    // Interned copies end in a NUL whatever the row's strings do.
    auto text = [](std::string_view s) { return Intern(std::string(s)).data(); };
    static std::vector<tk_class_info> infos(ClassTable().size());
    tk_class_info& cached = infos[index];
    if (cached.clsid == nullptr) {
        cached = {text(c.clsid),     text(c.progId),       text(c.coclass),
                  text(c.className), text(c.userTypeName), c.registers ? 1 : 0};
    }
    *info = cached;
    return S_OK;
}

}  // extern "C"
