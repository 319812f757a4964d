#include "blocks/routing/bit_pack.h"
#include "blocks/routing/lookup.h"
#include "blocks/routing/mux.h"
#include "blocks/routing/switch_block.h"
#include "module/class_families.h"

std::span<const ClassEntry> RoutingClasses() {
    static const ClassEntry rows[] = {
        ControlRow<COVMuxCtrl>("OVMux", 0x60, 5, true),
        ControlRow<COVDemuxCtrl>("OVDemux", 0x61, 6, true),
        ControlRow<COVSwitchCtrl>("OVSwitch", 0x62, 7, true),
        ControlRow<COVLookupCtrl>("OVLookup", 0x63, 8, true),
        ControlRow<COVBitPackCtrl>("OVBitPack", 0x64, 9, true),
        ControlRow<COVBitUnpackCtrl>("OVBitUnpack", 0x65, 10, true),
    };
    return rows;
}
