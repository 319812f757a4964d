// Loads a saved block from arbitrary bytes through the C interface: the first
// byte picks the class, the rest is the saved text. A load either fails with
// an error code and no handle, or gives a block that computes, saves and
// loads again to the same saved text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "tallykit/tallykit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    tk_class_info info;
    Require(tk_class_at(data[0] % tk_class_count(), &info) == TK_S_OK);
    tk_object* block = nullptr;
    tk_hresult hr =
        tk_load_buffer(info.prog_id, reinterpret_cast<const char*>(data + 1), size - 1, &block);
    if (TK_FAILED(hr)) {
        Require(block == nullptr);
        return 0;
    }
    tk_value result{};
    tk_call(block, "Operate", nullptr, 0, &result);  // not every class has one
    tk_value_clear(&result);
    char* saved = nullptr;
    size_t savedSize = 0;
    Require(tk_save_buffer(block, &saved, &savedSize) == TK_S_OK);
    tk_object* again = nullptr;
    Require(tk_load_buffer(info.prog_id, saved, savedSize, &again) == TK_S_OK);
    char* resaved = nullptr;
    size_t resavedSize = 0;
    Require(tk_save_buffer(again, &resaved, &resavedSize) == TK_S_OK);
    Require(resavedSize == savedSize && std::memcmp(saved, resaved, savedSize) == 0);
    tk_free(saved);
    tk_free(resaved);
    Require(tk_release(again) == TK_S_OK && tk_release(block) == TK_S_OK);
    return 0;
}
