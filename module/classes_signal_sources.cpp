#include "blocks/arith/random.h"
#include "blocks/signal/function_generator.h"
#include "blocks/signal/histogram.h"
#include "blocks/signal/statistics.h"
#include "module/class_families.h"

std::span<const ClassEntry> SignalSourceClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000080}", "TALLYKIT.OVRandomCtrl.1", "OVRandom",
         "COVRandomCtrl", "OVRandom Control", 13, true, &CreateControl<COVRandomCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000081}", "TALLYKIT.OVFuncGenCtrl.1", "OVFuncGen",
         "COVFuncGenCtrl", "OVFuncGen Control", 33, true, &CreateControl<COVFuncGenCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000082}", "TALLYKIT.StatisticsCtrl.1", "Statistics",
         "CStatisticsCtrl", "Statistics Control", 34, true, &CreateControl<CStatisticsCtrl>},
        // The type library describes no interface for the histogram, and its
        // factory registers nothing: hosts reach it by class identifier.
        {"{5A3C0000-7A11-4B1D-9E2B-000000000083}", "TALLYKIT.LXHistogramCtrl.1", "",
         "COVHistogramCtrl", "Histogram Control", 35, false, &CreateControl<COVHistogramCtrl>},
    };
    return rows;
}
