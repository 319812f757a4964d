#include "blocks/arith/arithmetic.h"
#include "module/class_families.h"

std::span<const ClassEntry> BaseClasses() {
    static const ClassEntry rows[] = {
        OutsideTypeLibrary(ControlRow<COVBaseMathCtrl>("OVBaseMath", 0x01, 1, false)),
    };
    return rows;
}

std::span<const ClassEntry> ArithmeticClasses() {
    static const ClassEntry rows[] = {
        ControlRow<COVAddCtrl>("OVAdd", 0x10, 11, true),
        ControlRow<COVSubtractCtrl>("OVSubtract", 0x11, 14, true),
        ControlRow<COVMultiplyCtrl>("OVMultiply", 0x12, 15, true),
        ControlRow<COVModulusCtrl>("OVModulus", 0x13, 16, true),
        ControlRow<COVDivideCtrl>("OVDivide", 0x14, 17, true),
    };
    return rows;
}
