#include "blocks/array/collector.h"
#include "blocks/array/element.h"
#include "blocks/array/pack.h"
#include "blocks/array/slice.h"
#include "module/class_families.h"

// Toolbox bitmaps 42 to 48, after the signal blocks' 40 and 41.
std::span<const ClassEntry> ArrayClasses() {
    static const ClassEntry rows[] = {
        ControlRow("OVCollector", 0x70, 42, true, &CreateControl<COVCollectorCtrl>),
        ControlRow("OVSetElement", 0x71, 43, true, &CreateControl<COVSetElementCtrl>),
        ControlRow("OVGetElement", 0x72, 44, true, &CreateControl<COVGetElementCtrl>),
        ControlRow("OVConcatArray", 0x73, 45, true, &CreateControl<COVConcatArrayCtrl>),
        ControlRow("OVSubArray", 0x74, 46, true, &CreateControl<COVSubArrayCtrl>),
        ControlRow("OVPack", 0x75, 47, true, &CreateControl<COVPackCtrl>),
        ControlRow("OVUnpack", 0x76, 48, true, &CreateControl<COVUnpackCtrl>),
    };
    return rows;
}
