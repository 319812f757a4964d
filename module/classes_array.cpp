#include "blocks/array/collector.h"
#include "blocks/array/element.h"
#include "blocks/array/pack.h"
#include "blocks/array/slice.h"
#include "module/class_families.h"

// Toolbox bitmaps 42 to 48, after the signal blocks' 40 and 41.
std::span<const ClassEntry> ArrayClasses() {
    static const ClassEntry rows[] = {
        ControlRow<COVCollectorCtrl>("OVCollector", 0x70, 42, true),
        ControlRow<COVSetElementCtrl>("OVSetElement", 0x71, 43, true),
        ControlRow<COVGetElementCtrl>("OVGetElement", 0x72, 44, true),
        ControlRow<COVConcatArrayCtrl>("OVConcatArray", 0x73, 45, true),
        ControlRow<COVSubArrayCtrl>("OVSubArray", 0x74, 46, true),
        ControlRow<COVPackCtrl>("OVPack", 0x75, 47, true),
        ControlRow<COVUnpackCtrl>("OVUnpack", 0x76, 48, true),
    };
    return rows;
}
