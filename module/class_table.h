#pragma once
// The module's creatable classes: one row per class with its fixed class
// identifier, ProgID, coclass name, class name, user type name, toolbox bitmap,
// whether it registers, and its factory. Hosts create every block through it.
#include <span>
#include <string_view>

#include "platform/ole_control.h"

struct ClassEntry {
    std::string_view clsid;         // "{...}" registry form
    std::string_view progId;        // "TALLYKIT.OVAddCtrl.1"
    std::string_view coclass;       // "OVAdd"; empty for classes the type library omits
    std::string_view className;     // "COVAddCtrl"
    std::string_view userTypeName;  // "OVAdd Control"
    int bitmap;                     // toolbox bitmap resource number
    bool registers;                 // false: reachable only by class identifier
    ComPtr<COleControl> (*create)();
};

std::span<const ClassEntry> ClassTable();

// The row whose class identifier, ProgID, coclass name or class name is
// `name` (ProgIDs and names compare case-insensitively); null if none.
const ClassEntry* FindClass(std::string_view name);

// Creates an instance of the class with this identifier (the class factory's
// CreateInstance). CLASS_E_CLASSNOTAVAILABLE for an unknown identifier.
HRESULT DllGetClassObject(std::string_view clsid, ComPtr<COleControl>* instance);

constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = HResult(0x80040111);
