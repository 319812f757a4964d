#include "blocks/logic/alarm.h"
#include "blocks/logic/if_then_else.h"
#include "blocks/logic/substring.h"
#include "module/class_families.h"

// OVAlarm draws bitmap 4; IfThenElse and SubString take 30 and 31, after the
// comparison family's 24 to 29.
std::span<const ClassEntry> DecisionClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000040}", "TALLYKIT.IfThenElseCtrl.1", "IfThenElse",
         "CIfThenElseCtrl", "IfThenElse Control", 30, true, &CreateControl<CIfThenElseCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000041}", "TALLYKIT.SubStringCtrl.1", "SubString",
         "CSubStringCtrl", "SubString Control", 31, true, &CreateControl<CSubStringCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000042}", "TALLYKIT.OVAlarmCtrl.1", "OVAlarm",
         "COVAlarmCtrl", "OVAlarm Control", 4, true, &CreateControl<COVAlarmCtrl>},
    };
    return rows;
}
