/* The C interface from plain C11: an OVAdd driven through tallykit.h, and
 * every kind of bad call answered with an error code. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tallykit/tallykit.h"

static int failures = 0;

#define CHECK(cond)                                                    \
    do {                                                               \
        if (!(cond)) {                                                 \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                \
        }                                                              \
    } while (0)

static tk_value Number(double x) {
    tk_value v = {TK_NUMBER, 0, x, 0, NULL, NULL, 0};
    return v;
}

static tk_value Text(const char* s) {
    tk_value v = {TK_TEXT, 0, 0.0, 0, (char*)s, NULL, 0};
    return v;
}

/* Appends each event's name and a blank to the 256-byte text `context` points to. */
static void Record(void* context, tk_object* source, int32_t dispid, const char* name,
                   const tk_value* args, size_t count) {
    (void)source, (void)dispid, (void)args, (void)count;
    if (strlen(context) + strlen(name) + 2 > 256) return;
    strcat(strcat(context, name), " ");
}

static void AddThroughFactoryAndEvents(void) {
    tk_object* add = NULL;
    tk_class_factory* factory = NULL;
    CHECK(DllGetClassObject("{5A3C0000-7A11-4B1D-9E2B-000000000010}", TK_IID_ICLASSFACTORY,
                            (void**)&factory) == TK_S_OK);
    CHECK(tk_factory_create_instance(factory, &add) == TK_S_OK);
    CHECK(DllCanUnloadNow() == TK_S_FALSE);

    char trace[256] = "";
    uint32_t cookie = 0;
    CHECK(tk_connect(add, Record, trace, &cookie) == TK_S_OK);
    tk_value x = Number(2.5), y = Text("4"), result = {0};
    CHECK(tk_put(add, "InputX", &x) == TK_S_OK);
    CHECK(tk_put(add, "inputy", &y) == TK_S_OK);
    CHECK(tk_call(add, "Operate", NULL, 0, &result) == TK_S_OK);
    CHECK(result.kind == TK_NUMBER && result.number == 6.5);
    CHECK(strcmp(trace, "RunBlock StatusReady ErrorOut ControlOut ") == 0);
    tk_value_clear(&result);

    /* The same by DISPID; StatusCode reads as an integer. */
    int32_t dispid = 0;
    CHECK(tk_get_dispid(add, "StatusCode", &dispid) == TK_S_OK && dispid == 0x10002);
    CHECK(tk_invoke(add, dispid, TK_PROPERTYGET, NULL, 0, &result) == TK_S_OK);
    CHECK(result.kind == TK_INTEGER && result.integer == 0);

    /* Text concatenation comes back as owned text; an array input is a type mismatch. */
    tk_value abc = Text("abc");
    CHECK(tk_put(add, "InputX", &abc) == TK_S_OK);
    CHECK(tk_call(add, "Operate", NULL, 0, &result) == TK_S_OK);
    CHECK(result.kind == TK_TEXT && strcmp(result.text, "abc4") == 0);
    tk_value_clear(&result);
    CHECK(result.kind == TK_EMPTY && result.text == NULL);
    double samples[] = {1, 2};
    tk_value array = {TK_ARRAY, 0, 0.0, 0, NULL, samples, 2};
    CHECK(tk_put(add, "InputX", &array) == TK_S_OK);
    CHECK(tk_call(add, "Operate", NULL, 0, &result) == TK_S_OK);
    tk_value_clear(&result);
    CHECK(tk_get(add, "StatusCode", &result) == TK_S_OK && result.integer == (int32_t)0x80028CA0);

    /* Saved and loaded through memory, the inputs come back. */
    char* saved = NULL;
    size_t size = 0;
    CHECK(tk_put(add, "InputX", &x) == TK_S_OK);
    CHECK(tk_save_buffer(add, &saved, &size) == TK_S_OK && size == strlen(saved));
    tk_object* copy = NULL;
    CHECK(tk_load_buffer("OVAdd", saved, size, &copy) == TK_S_OK);
    CHECK(tk_get(copy, "InputX", &result) == TK_S_OK && result.number == 2.5);
    tk_free(saved);
    CHECK(tk_release(copy) == TK_S_OK);

    CHECK(tk_disconnect(add, cookie) == TK_S_OK);
    CHECK(tk_disconnect(add, cookie) == TK_E_INVALIDARG);
    CHECK(tk_release(add) == TK_S_OK);
    CHECK(tk_factory_release(factory) == TK_S_OK);
    CHECK(DllCanUnloadNow() == TK_S_OK);

    /* The OVAdd page has a factory of its own, which makes no instance here. */
    CHECK(DllGetClassObject("{5A3C0000-7A11-4B1D-9E2B-000000000110}", NULL, (void**)&factory) ==
          TK_S_OK);
    CHECK(tk_factory_lock_server(factory, 1) == TK_S_OK);
    CHECK(tk_factory_create_instance(factory, &add) == TK_E_NOTIMPL && add == NULL);
    CHECK(tk_factory_release(factory) == TK_S_OK);
    CHECK(DllCanUnloadNow() == TK_S_OK);
}

static void BadCalls(void) {
    tk_object *add = NULL, *other = NULL;
    tk_value v = Number(1), result = {0};
    CHECK(tk_create("OVAdd", &add) == TK_S_OK);

    /* NULL everywhere. */
    CHECK(tk_create(NULL, &other) == TK_E_POINTER);
    CHECK(tk_create("OVAdd", NULL) == TK_E_POINTER);
    CHECK(tk_get(NULL, "InputX", &result) == TK_E_POINTER);
    CHECK(tk_get(add, NULL, &result) == TK_E_POINTER);
    CHECK(tk_get(add, "InputX", NULL) == TK_E_POINTER);
    CHECK(tk_put(add, "InputX", NULL) == TK_E_POINTER);
    CHECK(tk_call(add, "Operate", NULL, 1, &result) == TK_E_POINTER);
    CHECK(tk_connect(add, NULL, NULL, NULL) == TK_E_POINTER);
    CHECK(tk_save_buffer(add, NULL, NULL) == TK_E_POINTER);
    CHECK(tk_load_buffer("OVAdd", NULL, 5, &other) == TK_E_POINTER);
    CHECK(tk_save_file(add, NULL) == TK_E_POINTER);
    CHECK(tk_class_at(0, NULL) == TK_E_POINTER);
    CHECK(DllGetClassObject(NULL, NULL, NULL) == TK_E_POINTER);
    tk_value null_text = Text(NULL);
    CHECK(tk_put(add, "InputX", &null_text) == TK_E_POINTER);
    tk_value_clear(NULL);

    /* Bad names, classes, values and flags. */
    CHECK(tk_get(add, "NoSuchMember", &result) == TK_DISP_E_UNKNOWNNAME);
    CHECK(tk_create("NoSuchClass", &other) == TK_CLASS_E_CLASSNOTAVAILABLE && other == NULL);
    CHECK(tk_invoke(add, 9999, TK_PROPERTYGET, NULL, 0, &result) == TK_DISP_E_MEMBERNOTFOUND);
    CHECK(tk_invoke(add, 1, 0x40, &v, 1, NULL) == TK_E_INVALIDARG);
    tk_value bad_kind = {(tk_kind)77, 0, 0.0, 0, NULL, NULL, 0};
    CHECK(tk_put(add, "InputX", &bad_kind) == TK_DISP_E_BADVARTYPE);
    tk_value text = Text("x");
    CHECK(tk_put(add, "InvalidProperty", &text) == TK_DISP_E_TYPEMISMATCH);
    CHECK(tk_call(add, "Operate", &v, 1, &result) == TK_DISP_E_BADPARAMCOUNT);
    CHECK(DllGetClassObject("{5A3C0000-7A11-4B1D-9E2B-000000000010}", "{bad}", (void**)&result) ==
          TK_E_NOINTERFACE);
    CHECK(tk_load_buffer("OVAdd", "not a bag", 9, &other) == TK_E_INVALIDDATA);
    CHECK(tk_load_file("OVAdd", "/nonexistent/tallykit.bag", &other) == TK_E_FILENOTFOUND);
    CHECK(tk_class_at(tk_class_count(), &(tk_class_info){0}) == TK_E_INVALIDARG);

    /* Handles that are not alive: made up, released. */
    tk_object* fake = (tk_object*)&v;
    CHECK(tk_get(fake, "InputX", &result) == TK_E_HANDLE);
    CHECK(tk_release(fake) == TK_E_HANDLE);
    CHECK(tk_factory_release((tk_class_factory*)&v) == TK_E_HANDLE);
    CHECK(tk_release(add) == TK_S_OK);
    CHECK(tk_put(add, "InputX", &v) == TK_E_HANDLE);
    CHECK(tk_release(add) == TK_E_HANDLE);
}

int main(void) {
    AddThroughFactoryAndEvents();
    BadCalls();
    if (failures == 0) printf("c interface: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
