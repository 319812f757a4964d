#include "module/registration.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

#include "module/type_library.h"
#include "platform/registry.h"
#include "tallykit/tallykit.h"

namespace {

constexpr std::string_view kProxyStub = "{00020420-0000-0000-C000-000000000046}";

std::string Join(std::string_view a, std::string_view b) {
    return std::string(a) + "\\" + std::string(b);
}

std::string Version() {
    const TypeLibraryInfo& lib = TypeLibrary();
    return std::to_string(lib.major) + "." + std::to_string(lib.minor);
}

std::string Folder(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool WriteTypeLibrary(RegistryHive& hive, const std::string& path) {
    const TypeLibraryInfo& lib = TypeLibrary();
    std::string key = Join(Join("TypeLib", lib.libid), Version());
    bool ok = hive.Write(HKEY_CLASSES_ROOT, key, "", lib.helpString) &&
              hive.Write(HKEY_CLASSES_ROOT, Join(key, "0\\win32"), "", path) &&
              hive.Write(HKEY_CLASSES_ROOT, Join(key, "FLAGS"), "", "2") &&
              hive.Write(HKEY_CLASSES_ROOT, Join(key, "HELPDIR"), "", Folder(path));
    for (const ClassEntry* c : TypeLibraryClasses()) {
        std::string name = "_D" + std::string(c->coclass);
        for (auto [iid, interfaceName] : {std::pair{DispatchInterfaceId(*c), name},
                                          std::pair{EventInterfaceId(*c), name + "Events"}}) {
            std::string k = Join("Interface", iid);
            ok = ok && hive.Write(HKEY_CLASSES_ROOT, k, "", interfaceName) &&
                 hive.Write(HKEY_CLASSES_ROOT, Join(k, "ProxyStubClsid32"), "", kProxyStub) &&
                 hive.Write(HKEY_CLASSES_ROOT, Join(k, "TypeLib"), "", lib.libid) &&
                 hive.Write(HKEY_CLASSES_ROOT, Join(k, "TypeLib"), "Version", Version());
        }
    }
    return ok;
}

// The keys every class and page share: its name, server, threading and ProgID.
bool WriteServer(RegistryHive& hive, std::string_view clsid, std::string_view progId,
                 std::string_view name, const std::string& path) {
    std::string key = Join("CLSID", clsid);
    return hive.Write(HKEY_CLASSES_ROOT, key, "", name) &&
           hive.Write(HKEY_CLASSES_ROOT, Join(key, "InprocServer32"), "", path) &&
           hive.Write(HKEY_CLASSES_ROOT, Join(key, "InprocServer32"), "ThreadingModel",
                      kApartment) &&
           hive.Write(HKEY_CLASSES_ROOT, Join(key, "ProgID"), "", progId) &&
           hive.Write(HKEY_CLASSES_ROOT, progId, "", name) &&
           hive.Write(HKEY_CLASSES_ROOT, Join(progId, "CLSID"), "", clsid);
}

bool WriteControl(RegistryHive& hive, const ClassEntry& c, const std::string& path) {
    std::string key = Join("CLSID", c.clsid);
    unsigned misc = c.insertable ? kMiscStatusInsertable : kMiscStatus;
    bool ok = WriteServer(hive, c.clsid, c.progId, c.userTypeName, path) &&
              hive.Write(HKEY_CLASSES_ROOT, Join(key, "ToolboxBitmap32"), "",
                         path + ", " + std::to_string(c.bitmap)) &&
              hive.Write(HKEY_CLASSES_ROOT, Join(key, "TypeLib"), "", TypeLibrary().libid) &&
              hive.Write(HKEY_CLASSES_ROOT, Join(key, "Version"), "", Version()) &&
              hive.Write(HKEY_CLASSES_ROOT, Join(key, "MiscStatus"), "", "0") &&
              hive.Write(HKEY_CLASSES_ROOT, Join(key, "MiscStatus\\1"), "", std::to_string(misc)) &&
              hive.CreateKey(HKEY_CLASSES_ROOT, Join(key, "Control"));
    if (c.insertable) {
        ok = ok && hive.CreateKey(HKEY_CLASSES_ROOT, Join(key, "Insertable")) &&
             hive.CreateKey(HKEY_CLASSES_ROOT, Join(c.progId, "Insertable"));
    }
    return ok;
}

bool DeleteKeys(RegistryHive& hive, const std::vector<std::string>& keys) {
    for (const std::string& key : keys)
        hive.DeleteKey(HKEY_CLASSES_ROOT, key);  // absent is fine
    // The folders registration created go too once nothing is left in them.
    for (std::string_view folder : {"CLSID", "TypeLib", "Interface"}) {
        if (hive.SubKeys(HKEY_CLASSES_ROOT, folder).empty() &&
            hive.Values(HKEY_CLASSES_ROOT, folder).empty()) {
            hive.DeleteKey(HKEY_CLASSES_ROOT, folder);
        }
    }
    return true;
}

// Walks the type library, then every registered control, then every page,
// with one registry write per step, so that a failure names its step. The
// six controls that register nothing are skipped: their factories report
// success without writing.
template <class TypeLib, class Control, class Page>
HRESULT WalkServer(TypeLib typeLib, Control control, Page page) {
    if (!RegChangeHive(typeLib)) return SELFREG_E_TYPELIB;
    for (const ClassEntry& c : ClassTable()) {
        if (c.registers && !RegChangeHive([&](RegistryHive& hive) { return control(hive, c); })) {
            return SELFREG_E_CLASS;
        }
    }
    for (const PageEntry& p : PageTable()) {
        if (!RegChangeHive([&](RegistryHive& hive) { return page(hive, p); })) {
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
}

}  // namespace

std::string ModulePath() {
    namespace fs = std::filesystem;
    std::error_code error;
    Dl_info info{};
    std::string self =
        dladdr(reinterpret_cast<void*>(&ModulePath), &info) != 0 && info.dli_fname != nullptr
            ? info.dli_fname
            : "";
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!self.empty() && !fs::equivalent(self, program, error)) return self;  // the library
    // Linked into a program (the host, a test): the library installed or built beside it.
    for (const fs::path& candidate :
         {program.parent_path() / ".." / TK_INSTALL_LIBDIR / TK_LIBRARY_FILE,
          program.parent_path() / ".." / TK_LIBRARY_FILE}) {
        if (fs::exists(candidate, error)) return fs::weakly_canonical(candidate, error).string();
    }
    return self.empty() ? std::string(TK_LIBRARY_FILE) : self;
}

std::vector<std::string> KeysOf(const ClassEntry& c) {
    return {Join("CLSID", c.clsid), std::string(c.progId)};
}

std::vector<std::string> KeysOf(const PageEntry& p) {
    return {Join("CLSID", p.clsid), std::string(p.progId)};
}

std::vector<std::string> TypeLibraryKeys() {
    std::vector<std::string> keys{Join("TypeLib", TypeLibrary().libid)};
    for (const ClassEntry* c : TypeLibraryClasses()) {
        keys.push_back(Join("Interface", DispatchInterfaceId(*c)));
        keys.push_back(Join("Interface", EventInterfaceId(*c)));
    }
    return keys;
}

extern "C" HRESULT DllRegisterServer(void) {
    std::string path = ModulePath();
    return WalkServer(
        [&](RegistryHive& hive) { return WriteTypeLibrary(hive, path); },
        [&](RegistryHive& hive, const ClassEntry& c) { return WriteControl(hive, c, path); },
        [&](RegistryHive& hive, const PageEntry& p) {
            return WriteServer(hive, p.clsid, p.progId, p.caption, path);
        });
}

extern "C" HRESULT DllUnregisterServer(void) {
    return WalkServer(
        [](RegistryHive& hive) { return DeleteKeys(hive, TypeLibraryKeys()); },
        [](RegistryHive& hive, const ClassEntry& c) { return DeleteKeys(hive, KeysOf(c)); },
        [](RegistryHive& hive, const PageEntry& p) { return DeleteKeys(hive, KeysOf(p)); });
}
