// The registry file reader on arbitrary text: it must never crash, what it
// reads must survive being written and read again unchanged, and every key and
// value it lists must be found again by name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// Walks every key below `root`, checking that listing and lookup agree.
void CheckListedKeys(const RegistryHive& hive, HKEY root) {
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
        std::string path = pending.back();
        pending.pop_back();
        Check(hive.KeyExists(root, path));
        for (const RegValue& value : hive.Values(root, path)) {
            Check(hive.Read(root, path, value.name) == value.data);
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
    Check(reread == hive);
    Check(reread.Format() == formatted);

    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        CheckListedKeys(hive, root);
        std::vector<std::string> top = hive.SubKeys(root, "");
        if (top.empty()) continue;
        Check(reread.DeleteKey(root, top.front()));
        Check(!reread.KeyExists(root, top.front()));
        Check(RegistryHive::Parse(reread.Format()) == reread);
    }
    return 0;
}
