#include "blocks/placeholder/placeholder.h"
#include "module/class_families.h"

// The placeholders stay out of the type library; four of them register
// nothing and are reached only by class identifier.
std::span<const ClassEntry> PlaceholderClasses() {
    static const ClassEntry rows[] = {
        OutsideTypeLibrary(ControlRow("OVAbs", 0xA0, 60, false, &CreateControl<COVAbsCtrl>)),
        OutsideTypeLibrary(ControlRow("OVSqrt", 0xA1, 61, false, &CreateControl<COVSqrtCtrl>)),
        OutsideTypeLibrary(ControlRow("OVSquare", 0xA2, 62, true, &CreateControl<COVSquareCtrl>)),
        OutsideTypeLibrary(ControlRow("OVLog", 0xA3, 63, false, &CreateControl<COVLogCtrl>)),
        OutsideTypeLibrary(ControlRow("OVln", 0xA4, 64, false, &CreateControl<COVlnCtrl>)),
        OutsideTypeLibrary(
            ControlRow("OVMathFunction", 0xA5, 65, true, &CreateControl<COVMathFunctionCtrl>)),
        OutsideTypeLibrary(ControlRow("OVPower", 0xA6, 66, true, &CreateControl<COVPowerCtrl>)),
        OutsideTypeLibrary(ControlRow("OVSort", 0xA7, 67, true, &CreateControl<COVSortCtrl>)),
    };
    return rows;
}
