#include "blocks/logic/comparison.h"
#include "module/class_families.h"

// Toolbox bitmaps 24 to 29 follow the logic family's 18 to 23.
std::span<const ClassEntry> ComparisonClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000020}", "TALLYKIT.OVEqualityCtrl.1", "OVEquality",
         "COVEqualityCtrl", "OVEquality Control", 24, true, &CreateControl<COVEqualityCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000021}", "TALLYKIT.OVNotEqualCtrl.1", "OVNotEqual",
         "COVNotEqualCtrl", "OVNotEqual Control", 25, true, &CreateControl<COVNotEqualCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000022}", "TALLYKIT.OVGreaterThanCtrl.1", "OVGreaterThan",
         "COVGreaterThanCtrl", "OVGreaterThan Control", 26, true,
         &CreateControl<COVGreaterThanCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000023}", "TALLYKIT.OVGreaterThanEqualCtrl.1",
         "OVGreaterThanEqual", "COVGreaterThanEqualCtrl", "OVGreaterThanEqual Control", 27, true,
         &CreateControl<COVGreaterThanEqualCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000024}", "TALLYKIT.OVLessThanCtrl.1", "OVLessThan",
         "COVLessThanCtrl", "OVLessThan Control", 28, true, &CreateControl<COVLessThanCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000025}", "TALLYKIT.OVLessThanEqualCtrl.1",
         "OVLessThanEqual", "COVLessThanEqualCtrl", "OVLessThanEqual Control", 29, true,
         &CreateControl<COVLessThanEqualCtrl>},
    };
    return rows;
}
