#include "blocks/logic/logic.h"
#include "module/class_families.h"

std::span<const ClassEntry> LogicClasses() {
    static const ClassEntry rows[] = {
        ControlRow("OVAnd", 0x30, 18, true, &CreateControl<COVAndCtrl>),
        ControlRow("OVOr", 0x31, 19, true, &CreateControl<COVOrCtrl>),
        ControlRow("OVXor", 0x32, 21, true, &CreateControl<COVXorCtrl>),
        ControlRow("OVNand", 0x33, 23, true, &CreateControl<COVNandCtrl>),
        ControlRow("OVNor", 0x34, 22, true, &CreateControl<COVNorCtrl>),
        ControlRow("OVNot", 0x35, 20, true, &CreateControl<COVNotCtrl>),
    };
    return rows;
}
