#include "blocks/placeholder/placeholder.h"
#include "module/class_families.h"

// The placeholders stay out of the type library; four of them register
// nothing and are reached only by class identifier.
std::span<const ClassEntry> PlaceholderClasses() {
    static const ClassEntry rows[] = {
        OutsideTypeLibrary(ControlRow<COVAbsCtrl>("OVAbs", 0xA0, 60, false)),
        OutsideTypeLibrary(ControlRow<COVSqrtCtrl>("OVSqrt", 0xA1, 61, false)),
        OutsideTypeLibrary(ControlRow<COVSquareCtrl>("OVSquare", 0xA2, 62, true)),
        OutsideTypeLibrary(ControlRow<COVLogCtrl>("OVLog", 0xA3, 63, false)),
        OutsideTypeLibrary(ControlRow<COVlnCtrl>("OVln", 0xA4, 64, false)),
        OutsideTypeLibrary(ControlRow<COVMathFunctionCtrl>("OVMathFunction", 0xA5, 65, true)),
        OutsideTypeLibrary(ControlRow<COVPowerCtrl>("OVPower", 0xA6, 66, true)),
        OutsideTypeLibrary(ControlRow<COVSortCtrl>("OVSort", 0xA7, 67, true)),
    };
    return rows;
}
