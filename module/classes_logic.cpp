#include "blocks/logic/logic.h"
#include "module/class_families.h"

std::span<const ClassEntry> LogicClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000030}", "TALLYKIT.OVAndCtrl.1", "OVAnd", "COVAndCtrl",
         "OVAnd Control", 18, true, &CreateControl<COVAndCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000031}", "TALLYKIT.OVOrCtrl.1", "OVOr", "COVOrCtrl",
         "OVOr Control", 19, true, &CreateControl<COVOrCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000032}", "TALLYKIT.OVXorCtrl.1", "OVXor", "COVXorCtrl",
         "OVXor Control", 21, true, &CreateControl<COVXorCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000033}", "TALLYKIT.OVNandCtrl.1", "OVNand", "COVNandCtrl",
         "OVNand Control", 23, true, &CreateControl<COVNandCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000034}", "TALLYKIT.OVNorCtrl.1", "OVNor", "COVNorCtrl",
         "OVNor Control", 22, true, &CreateControl<COVNorCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000035}", "TALLYKIT.OVNotCtrl.1", "OVNot", "COVNotCtrl",
         "OVNot Control", 20, true, &CreateControl<COVNotCtrl>},
    };
    return rows;
}
