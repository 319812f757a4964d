#include "blocks/routing/bit_pack.h"
#include "blocks/routing/lookup.h"
#include "blocks/routing/mux.h"
#include "blocks/routing/switch_block.h"
#include "module/class_families.h"

std::span<const ClassEntry> RoutingClasses() {
    static const ClassEntry rows[] = {
        ControlRow("OVMux", 0x60, 5, true, &CreateControl<COVMuxCtrl>),
        ControlRow("OVDemux", 0x61, 6, true, &CreateControl<COVDemuxCtrl>),
        ControlRow("OVSwitch", 0x62, 7, true, &CreateControl<COVSwitchCtrl>),
        ControlRow("OVLookup", 0x63, 8, true, &CreateControl<COVLookupCtrl>),
        ControlRow("OVBitPack", 0x64, 9, true, &CreateControl<COVBitPackCtrl>),
        ControlRow("OVBitUnpack", 0x65, 10, true, &CreateControl<COVBitUnpackCtrl>),
    };
    return rows;
}
