// The registry file reader on arbitrary text: it must never crash, what it
// reads must survive being written and read again unchanged, and every key and
// value it lists must be found again by name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/registry.h"

namespace {

// Walks every key below `root`, checking that listing and lookup agree.
void CheckListedKeys(const RegistryHive& hive, HKEY root) {
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
        std::string path = pending.back();
        pending.pop_back();
        Require(hive.KeyExists(root, path));
        for (const RegValue& value : hive.Values(root, path)) {
            Require(hive.Read(root, path, value.name) == value.data);
        }
        for (const std::string& name : hive.SubKeys(root, path)) {
            pending.push_back(path.empty() ? name : path + '\\' + name);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    RegistryHive hive = RegistryHive::Parse(text);
    std::string formatted = hive.Format();
    RegistryHive reread = RegistryHive::Parse(formatted);
    Require(reread == hive);
    Require(reread.Format() == formatted);

    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        CheckListedKeys(hive, root);
        std::vector<std::string> top = hive.SubKeys(root, "");
        if (top.empty()) continue;
        Require(reread.DeleteKey(root, top.front()));
        Require(!reread.KeyExists(root, top.front()));
        Require(RegistryHive::Parse(reread.Format()) == reread);
    }
    return 0;
}
