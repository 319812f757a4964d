#include "blocks/logic/logic.h"
#include "module/class_families.h"

std::span<const ClassEntry> LogicClasses() {
    static const ClassEntry rows[] = {
        ControlRow<COVAndCtrl>("OVAnd", 0x30, 18, true),
        ControlRow<COVOrCtrl>("OVOr", 0x31, 19, true),
        ControlRow<COVXorCtrl>("OVXor", 0x32, 21, true),
        ControlRow<COVNandCtrl>("OVNand", 0x33, 23, true),
        ControlRow<COVNorCtrl>("OVNor", 0x34, 22, true),
        ControlRow<COVNotCtrl>("OVNot", 0x35, 20, true),
    };
    return rows;
}
