/* TallyKit: the C interface of libtallykit.so.
 *
 * Blocks are reached through opaque handles. Every function returns an
 * HRESULT-style code (negative: failure) and never crashes on bad input: a
 * NULL pointer gives TK_E_POINTER, a handle that is not alive TK_E_HANDLE, an
 * unknown class TK_CLASS_E_CLASSNOTAVAILABLE, an unknown member
 * TK_DISP_E_UNKNOWNNAME, a value the member does not take
 * TK_DISP_E_TYPEMISMATCH. Handles belong to the thread that made them; the
 * library is not safe for concurrent use from several threads.
 */
#ifndef TALLYKIT_TALLYKIT_H
#define TALLYKIT_TALLYKIT_H

#include <stddef.h>
#include <stdint.h>

#define TK_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t tk_hresult;

#define TK_SUCCEEDED(hr) ((tk_hresult)(hr) >= 0)
#define TK_FAILED(hr) ((tk_hresult)(hr) < 0)

#define TK_S_OK ((tk_hresult)0)
#define TK_S_FALSE ((tk_hresult)1)
#define TK_E_NOTIMPL ((tk_hresult)0x80004001)
#define TK_E_NOINTERFACE ((tk_hresult)0x80004002)
#define TK_E_POINTER ((tk_hresult)0x80004003)
#define TK_E_HANDLE ((tk_hresult)0x80070006)
#define TK_E_INVALIDDATA ((tk_hresult)0x8007000D)
#define TK_E_OUTOFMEMORY ((tk_hresult)0x8007000E)
#define TK_E_INVALIDARG ((tk_hresult)0x80070057)
#define TK_E_FILENOTFOUND ((tk_hresult)0x80070002)
#define TK_E_WRITEFAULT ((tk_hresult)0x8007001D)
#define TK_DISP_E_MEMBERNOTFOUND ((tk_hresult)0x80020003)
#define TK_DISP_E_TYPEMISMATCH ((tk_hresult)0x80020005)
#define TK_DISP_E_UNKNOWNNAME ((tk_hresult)0x80020006)
#define TK_DISP_E_BADVARTYPE ((tk_hresult)0x80020008)
#define TK_DISP_E_BADPARAMCOUNT ((tk_hresult)0x8002000E)
#define TK_CLASS_E_CLASSNOTAVAILABLE ((tk_hresult)0x80040111)
#define TK_SELFREG_E_TYPELIB ((tk_hresult)0x80040200)
#define TK_SELFREG_E_CLASS ((tk_hresult)0x80040201)

/* The identifier DllGetClassObject accepts for the class factory interface. */
#define TK_IID_ICLASSFACTORY "{00000001-0000-0000-C000-000000000046}"

/* Invoke flags of tk_invoke. */
#define TK_METHOD 0x1
#define TK_PROPERTYGET 0x2
#define TK_PROPERTYPUT 0x4

typedef struct tk_object tk_object;
typedef struct tk_class_factory tk_class_factory;

/* A value crossing the interface. The field that `kind` names holds it. A
 * value the library fills (a result, an event argument it gives a callback)
 * owns its text and array: release those with tk_value_clear. Values the
 * caller passes in are only read. Results of other kinds (two-dimensional
 * arrays, arrays of texts, error codes) arrive as TK_TEXT in the typed text
 * form of the tallykit script language, e.g. "r8[[1, 2], [3, 4]]". */
typedef enum tk_kind {
    TK_EMPTY = 0,
    TK_INTEGER = 1, /* integer: 32-bit signed */
    TK_NUMBER = 2,  /* number: double */
    TK_BOOL = 3,    /* boolean: 0 or 1 */
    TK_TEXT = 4,    /* text: UTF-8, NUL-terminated */
    TK_ARRAY = 5    /* array, count: one-dimensional array of doubles */
} tk_kind;

typedef struct tk_value {
    tk_kind kind;
    int32_t integer;
    double number;
    int boolean;
    char* text;
    double* array;
    size_t count;
} tk_value;

/* Frees what a library-filled value owns and makes it TK_EMPTY. NULL is fine. */
TK_EXPORT void tk_value_clear(tk_value* value);
/* Frees a buffer the library allocated (tk_save_buffer). */
TK_EXPORT void tk_free(void* buffer);

/* --- the module's exports ------------------------------------------------- */

/* The class factory of a class identifier ("{5A3C0000-...}"). `iid` is
 * TK_IID_ICLASSFACTORY or NULL; another interface gives TK_E_NOINTERFACE.
 * *factory receives a tk_class_factory* to release with tk_factory_release. */
TK_EXPORT tk_hresult DllGetClassObject(const char* clsid, const char* iid, void** factory);
/* TK_S_OK when no object, factory or lock made through this interface is
 * alive, TK_S_FALSE otherwise. */
TK_EXPORT tk_hresult DllCanUnloadNow(void);
/* Write and remove the module's registry entries. TK_SELFREG_E_TYPELIB when
 * the type library step fails, TK_SELFREG_E_CLASS when a class step fails. */
TK_EXPORT tk_hresult DllRegisterServer(void);
TK_EXPORT tk_hresult DllUnregisterServer(void);

/* A new instance, initialised as a new control. A property page's factory
 * (pages have class identifiers too) answers TK_E_NOTIMPL: pages cannot be
 * shown by this library yet. */
TK_EXPORT tk_hresult tk_factory_create_instance(tk_class_factory* factory, tk_object** object);
/* Keeps the module loaded (DllCanUnloadNow) while locked. */
TK_EXPORT tk_hresult tk_factory_lock_server(tk_class_factory* factory, int lock);
TK_EXPORT tk_hresult tk_factory_release(tk_class_factory* factory);

/* --- objects --------------------------------------------------------------- */

/* Creates a block by ProgID, class identifier, coclass or class name,
 * initialised as a new control in run mode. */
TK_EXPORT tk_hresult tk_create(const char* name, tk_object** object);
/* Reference counting; the handle dies when its count reaches 0. */
TK_EXPORT tk_hresult tk_add_ref(tk_object* object);
TK_EXPORT tk_hresult tk_release(tk_object* object);

/* DISPID of a member by case-insensitive name. */
TK_EXPORT tk_hresult tk_get_dispid(tk_object* object, const char* name, int32_t* dispid);
/* A property get, property put or method call by DISPID. Arguments come in
 * call order; a put passes the new value last. `result` may be NULL. */
TK_EXPORT tk_hresult tk_invoke(tk_object* object, int32_t dispid, int flags, const tk_value* args,
                               size_t count, tk_value* result);
/* The same by member name. */
TK_EXPORT tk_hresult tk_get(tk_object* object, const char* name, tk_value* result);
TK_EXPORT tk_hresult tk_put(tk_object* object, const char* name, const tk_value* value);
TK_EXPORT tk_hresult tk_call(tk_object* object, const char* name, const tk_value* args,
                             size_t count, tk_value* result);

/* Events: `callback` runs inside the block's firing, once per event, with the
 * event's DISPID, name and arguments (owned by the library, valid during the
 * call). A callback may get, put and call on any object. */
typedef void (*tk_event_callback)(void* context, tk_object* source, int32_t dispid,
                                  const char* name, const tk_value* args, size_t count);
TK_EXPORT tk_hresult tk_connect(tk_object* object, tk_event_callback callback, void* context,
                                uint32_t* cookie);
TK_EXPORT tk_hresult tk_disconnect(tk_object* object, uint32_t cookie);

/* Persistence: the block's persisted properties as a property-bag text. A
 * load creates a new block of class `name` and loads it; a text that does not
 * parse gives TK_E_INVALIDDATA, an unreadable file TK_E_FILENOTFOUND. */
TK_EXPORT tk_hresult tk_save_file(tk_object* object, const char* path);
TK_EXPORT tk_hresult tk_load_file(const char* name, const char* path, tk_object** object);
/* *data (NUL-terminated, *size bytes without the NUL) is freed with tk_free. */
TK_EXPORT tk_hresult tk_save_buffer(tk_object* object, char** data, size_t* size);
TK_EXPORT tk_hresult tk_load_buffer(const char* name, const char* data, size_t size,
                                    tk_object** object);

/* --- the class list --------------------------------------------------------- */

typedef struct tk_class_info {
    const char* clsid;
    const char* prog_id;
    const char* coclass; /* "" for classes the type library leaves out */
    const char* class_name;
    const char* user_type_name;
    int registered; /* 0: reachable only through DllGetClassObject */
} tk_class_info;

TK_EXPORT size_t tk_class_count(void);
/* The strings live as long as the library. TK_E_INVALIDARG past the end. */
TK_EXPORT tk_hresult tk_class_at(size_t index, tk_class_info* info);

#ifdef __cplusplus
}
#endif

#endif /* TALLYKIT_TALLYKIT_H */
