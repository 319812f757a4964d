#include "blocks/routing/bit_pack.h"
#include "blocks/routing/lookup.h"
#include "blocks/routing/mux.h"
#include "blocks/routing/switch_block.h"
#include "module/class_families.h"

std::span<const ClassEntry> RoutingClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000060}", "TALLYKIT.OVMuxCtrl.1", "OVMux", "COVMuxCtrl",
         "OVMux Control", 5, true, &CreateControl<COVMuxCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000061}", "TALLYKIT.OVDemuxCtrl.1", "OVDemux",
         "COVDemuxCtrl", "OVDemux Control", 6, true, &CreateControl<COVDemuxCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000062}", "TALLYKIT.OVSwitchCtrl.1", "OVSwitch",
         "COVSwitchCtrl", "OVSwitch Control", 7, true, &CreateControl<COVSwitchCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000063}", "TALLYKIT.OVLookupCtrl.1", "OVLookup",
         "COVLookupCtrl", "OVLookup Control", 8, true, &CreateControl<COVLookupCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000064}", "TALLYKIT.OVBitPackCtrl.1", "OVBitPack",
         "COVBitPackCtrl", "OVBitPack Control", 9, true, &CreateControl<COVBitPackCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000065}", "TALLYKIT.OVBitUnpackCtrl.1", "OVBitUnpack",
         "COVBitUnpackCtrl", "OVBitUnpack Control", 10, true, &CreateControl<COVBitUnpackCtrl>},
    };
    return rows;
}
