#include "module/class_table.h"

#include <vector>

#include "module/class_families.h"

std::span<const ClassEntry> ClassTable() {
    // Families keep their rows beside each other; the table is their union.
    static const std::vector<ClassEntry> table = [] {
        std::vector<ClassEntry> rows;
        for (auto family : {BaseClasses(), ArithmeticClasses(), ComparisonClasses(), LogicClasses(),
                            DecisionClasses(), FormulaClasses(), ArrayClasses(),
                            SignalSourceClasses(), SpectralClasses(), RoutingClasses()}) {
            rows.insert(rows.end(), family.begin(), family.end());
        }
        return rows;
    }();
    return table;
}

const ClassEntry* FindClass(std::string_view name) {
    for (const ClassEntry& c : ClassTable()) {
        if (NamesEqual(c.clsid, name) || NamesEqual(c.progId, name) ||
            (!c.coclass.empty() && NamesEqual(c.coclass, name)) || NamesEqual(c.className, name)) {
            return &c;
        }
    }
    return nullptr;
}

HRESULT DllGetClassObject(std::string_view clsid, ComPtr<COleControl>* instance) {
    for (const ClassEntry& c : ClassTable()) {
        if (NamesEqual(c.clsid, clsid)) {
            *instance = c.create();
            return *instance ? S_OK : E_OUTOFMEMORY;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
