#include "blocks/arith/arithmetic.h"
#include "module/class_families.h"

std::span<const ClassEntry> BaseClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000001}", "TALLYKIT.OVBaseMathCtrl.1", "",
         "COVBaseMathCtrl", "OVBaseMath Control", 1, false, &CreateControl<COVBaseMathCtrl>},
    };
    return rows;
}

std::span<const ClassEntry> ArithmeticClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000010}", "TALLYKIT.OVAddCtrl.1", "OVAdd", "COVAddCtrl",
         "OVAdd Control", 11, true, &CreateControl<COVAddCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000011}", "TALLYKIT.OVSubtractCtrl.1", "OVSubtract",
         "COVSubtractCtrl", "OVSubtract Control", 14, true, &CreateControl<COVSubtractCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000012}", "TALLYKIT.OVMultiplyCtrl.1", "OVMultiply",
         "COVMultiplyCtrl", "OVMultiply Control", 15, true, &CreateControl<COVMultiplyCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000013}", "TALLYKIT.OVModulusCtrl.1", "OVModulus",
         "COVModulusCtrl", "OVModulus Control", 16, true, &CreateControl<COVModulusCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000014}", "TALLYKIT.OVDivideCtrl.1", "OVDivide",
         "COVDivideCtrl", "OVDivide Control", 17, true, &CreateControl<COVDivideCtrl>},
    };
    return rows;
}
