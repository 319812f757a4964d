#include "blocks/arith/random.h"
#include "blocks/signal/function_generator.h"
#include "blocks/signal/histogram.h"
#include "blocks/signal/statistics.h"
#include "module/class_families.h"

// Toolbox bitmaps 49 to 51 follow the array blocks'; the random block draws 13.
std::span<const ClassEntry> SignalSourceClasses() {
    static const ClassEntry rows[] = {
        ControlRow<COVRandomCtrl>("OVRandom", 0x80, 13, true),
        ControlRow<COVFuncGenCtrl>("OVFuncGen", 0x81, 49, true),
        ControlRow<CStatisticsCtrl>("Statistics", 0x82, 50, true),
        // The type library describes no interface for the histogram, and its
        // factory registers nothing: hosts reach it by class identifier.
        {"{5A3C0000-7A11-4B1D-9E2B-000000000083}", "TALLYKIT.LXHistogramCtrl.1", "",
         "COVHistogramCtrl", "Histogram Control", 51, false, &CreateControl<COVHistogramCtrl>,
         &COVHistogramCtrl::kClass},
    };
    return rows;
}
