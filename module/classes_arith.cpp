#include "blocks/arith/arithmetic.h"
#include "module/class_families.h"

std::span<const ClassEntry> BaseClasses() {
    static const ClassEntry rows[] = {
        OutsideTypeLibrary(
            ControlRow("OVBaseMath", 0x01, 1, false, &CreateControl<COVBaseMathCtrl>)),
    };
    return rows;
}

std::span<const ClassEntry> ArithmeticClasses() {
    static const ClassEntry rows[] = {
        ControlRow("OVAdd", 0x10, 11, true, &CreateControl<COVAddCtrl>),
        ControlRow("OVSubtract", 0x11, 14, true, &CreateControl<COVSubtractCtrl>),
        ControlRow("OVMultiply", 0x12, 15, true, &CreateControl<COVMultiplyCtrl>),
        ControlRow("OVModulus", 0x13, 16, true, &CreateControl<COVModulusCtrl>),
        ControlRow("OVDivide", 0x14, 17, true, &CreateControl<COVDivideCtrl>),
    };
    return rows;
}
