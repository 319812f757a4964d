#include "blocks/signal/fft.h"
#include "blocks/signal/fir_filter.h"
#include "module/class_families.h"

// Toolbox bitmaps 40 and 41. The FIR filter also registers as insertable, with
// its own miscellaneous status (0x24593: the controls' 0x20591 plus only-iconic
// and no UI activation); the rows do not carry registration data yet.
std::span<const ClassEntry> SpectralClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000090}", "TALLYKIT.FFTCtrl.1", "FFT", "CFFTCtrl",
         "FFT Control", 40, true, &CreateControl<CFFTCtrl>},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000091}", "TALLYKIT.FIRFilterCtrl", "CFIRFilter",
         "CFIRFilterCtrl", "FIR Filter Control", 41, true, &CreateControl<CFIRFilterCtrl>},
    };
    return rows;
}
