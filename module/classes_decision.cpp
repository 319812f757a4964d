#include "blocks/logic/alarm.h"
#include "blocks/logic/if_then_else.h"
#include "blocks/logic/substring.h"
#include "module/class_families.h"

// OVAlarm draws bitmap 4; IfThenElse and SubString take 30 and 31, after the
// comparison family's 24 to 29.
std::span<const ClassEntry> DecisionClasses() {
    static const ClassEntry rows[] = {
        ControlRow<CIfThenElseCtrl>("IfThenElse", 0x40, 30, true),
        ControlRow<CSubStringCtrl>("SubString", 0x41, 31, true),
        ControlRow<COVAlarmCtrl>("OVAlarm", 0x42, 4, true),
    };
    return rows;
}
