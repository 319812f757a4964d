#include "blocks/logic/comparison.h"
#include "module/class_families.h"

// Toolbox bitmaps 24 to 29 follow the logic family's 18 to 23.
std::span<const ClassEntry> ComparisonClasses() {
    static const ClassEntry rows[] = {
        ControlRow<COVEqualityCtrl>("OVEquality", 0x20, 24, true),
        ControlRow<COVNotEqualCtrl>("OVNotEqual", 0x21, 25, true),
        ControlRow<COVGreaterThanCtrl>("OVGreaterThan", 0x22, 26, true),
        ControlRow<COVGreaterThanEqualCtrl>("OVGreaterThanEqual", 0x23, 27, true),
        ControlRow<COVLessThanCtrl>("OVLessThan", 0x24, 28, true),
        ControlRow<COVLessThanEqualCtrl>("OVLessThanEqual", 0x25, 29, true),
    };
    return rows;
}
