#include "blocks/logic/comparison.h"
#include "module/class_families.h"

// Toolbox bitmaps 24 to 29 follow the logic family's 18 to 23.
std::span<const ClassEntry> ComparisonClasses() {
    static const ClassEntry rows[] = {
        ControlRow("OVEquality", 0x20, 24, true, &CreateControl<COVEqualityCtrl>),
        ControlRow("OVNotEqual", 0x21, 25, true, &CreateControl<COVNotEqualCtrl>),
        ControlRow("OVGreaterThan", 0x22, 26, true, &CreateControl<COVGreaterThanCtrl>),
        ControlRow("OVGreaterThanEqual", 0x23, 27, true, &CreateControl<COVGreaterThanEqualCtrl>),
        ControlRow("OVLessThan", 0x24, 28, true, &CreateControl<COVLessThanCtrl>),
        ControlRow("OVLessThanEqual", 0x25, 29, true, &CreateControl<COVLessThanEqualCtrl>),
    };
    return rows;
}
