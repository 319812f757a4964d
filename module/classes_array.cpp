#include "blocks/array/collector.h"
#include "blocks/array/element.h"
#include "blocks/array/pack.h"
#include "blocks/array/slice.h"
#include "module/class_families.h"

// Toolbox bitmaps 32 to 38 follow IfThenElse's and SubString's 30 and 31.
std::span<const ClassEntry> ArrayClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000070}", "TALLYKIT.OVCollectorCtrl.1", "OVCollector",
         "COVCollectorCtrl", "OVCollector Control", 32, true, &CreateControl<COVCollectorCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000071}", "TALLYKIT.OVSetElementCtrl.1", "OVSetElement",
         "COVSetElementCtrl", "OVSetElement Control", 33, true, &CreateControl<COVSetElementCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000072}", "TALLYKIT.OVGetElementCtrl.1", "OVGetElement",
         "COVGetElementCtrl", "OVGetElement Control", 34, true, &CreateControl<COVGetElementCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000073}", "TALLYKIT.OVConcatArrayCtrl.1", "OVConcatArray",
         "COVConcatArrayCtrl", "OVConcatArray Control", 35, true,
         &CreateControl<COVConcatArrayCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000074}", "TALLYKIT.OVSubArrayCtrl.1", "OVSubArray",
         "COVSubArrayCtrl", "OVSubArray Control", 36, true, &CreateControl<COVSubArrayCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000075}", "TALLYKIT.OVPackCtrl.1", "OVPack", "COVPackCtrl",
         "OVPack Control", 37, true, &CreateControl<COVPackCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000076}", "TALLYKIT.OVUnpackCtrl.1", "OVUnpack",
         "COVUnpackCtrl", "OVUnpack Control", 38, true, &CreateControl<COVUnpackCtrl>},
    };
    return rows;
}
