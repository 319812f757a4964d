#include "blocks/signal/fft.h"
#include "blocks/signal/fir_filter.h"
#include "module/class_families.h"

// Toolbox bitmaps 40 and 41. The FIR filter keeps names of its own and also
// registers as insertable.
std::span<const ClassEntry> SpectralClasses() {
    static const ClassEntry rows[] = {
        ControlRow<CFFTCtrl>("FFT", 0x90, 40, true),
        {"{5A3C0000-7A11-4B1D-9E2B-000000000091}", "TALLYKIT.FIRFilterCtrl", "CFIRFilter",
         "CFIRFilterCtrl", "FIR Filter Control", 41, true, &CreateControl<CFIRFilterCtrl>,
         &CFIRFilterCtrl::kClass,
         /*insertable=*/true},
    };
    return rows;
}
