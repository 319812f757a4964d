// Random arrays and settings into the FFT and FIR filter blocks, driven as a
// host drives them (puts, Operate, wired invalidation, FilterData): no crash,
// every status one the blocks define, and a FIR filter, when it exists,
// designed from the settings it shows.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "blocks/signal/fir_filter.h"
#include "fuzz/random_array.h"
#include "platform/safearray.h"

namespace {

constexpr VARTYPE kElementKinds[] = {VT_R4, VT_R8, VT_I2, VT_I4, VT_UI1, VT_BSTR};

// An array of up to 40 elements in one or two dimensions, with any bits.
Variant RandomArray(FuzzBytes& in) {
    const VARTYPE kind = kElementKinds[in.Byte() % std::size(kElementKinds)];
    const uint32_t count = in.Byte() % 41;
    const int32_t lower = static_cast<int32_t>(in.Byte() % 5) - 2;
    const bool twoD = (in.Byte() & 3) == 0;
    SAFEARRAYBOUND bounds[] = {{2, 0}, {count, lower}};
    SafeArrayPtr a =
        twoD ? SafeArrayCreate(kind, 2, bounds) : SafeArrayCreateVector(kind, lower, count);
    if (!a) return Variant();
    for (size_t i = 0; i < a->Count(); ++i)
        a->SetElementAt(i, random_array::Scalar(in, kind));
    return Variant::Array(std::move(a));
}

Variant Setting(FuzzBytes& in) {
    switch (in.Byte() % 4) {
        case 0:
            return Variant::I2(static_cast<int16_t>(in.Byte() % 70) - 2);
        case 1:
            return Variant::R4(static_cast<float>(in.Byte()) / 400.0f - 0.05f);
        case 2:
            return Variant::R4(in.Raw<float>());
        default:
            return Variant::Str(in.Text(6));
    }
}

void CheckFilter(CFIRFilterCtrl& fir) {
    const std::span<const float> h = fir.Coefficients();
    if (h.empty()) return;
    const FirSettings s{fir.GetFilterType(), fir.GetNumOfCoeff(), fir.GetLowFrequencyCutoff(),
                        fir.GetHighFrequencyCutoff(), fir.GetWindowType()};
    const std::vector<float> expected = DesignFirCoefficients(s);
    Require(std::equal(h.begin(), h.end(), expected.begin(), expected.end(), [](float x, float y) {
        return std::bit_cast<uint32_t>(x) == std::bit_cast<uint32_t>(y);
    }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const bool fft = (in.Byte() & 1) != 0;
    ComPtr<COleControl> block = NewBlock(fft ? "FFT" : "CFIRFilter");
    int32_t lastStatus = -1;
    OnEvents(*block, [&](DISPID id, std::span<const Variant> args) {
        if (id != 5) return;  // ErrorOut ends every run with its status
        lastStatus = args[1].lVal();
        Require(OneOf(lastStatus, {0, TYPE_E_TYPEMISMATCH, ERROR_INVALID_DATA_HR}));
    });
    const char* const settings[] = {"FilterType", "NumOfCoeff", "LowFrequencyCutoff",
                                    "HighFrequencyCutoff", "WindowType"};
    const char* input = fft ? "Value" : "ValueIn";

    for (int steps = 0; !in.Empty() && steps < 48; ++steps) {
        const uint8_t op = in.Byte();
        switch (op % 6) {
            case 0:
                Require(Put(*block, MemberId(*block, input), RandomArray(in)) == S_OK);
                break;
            case 1: {
                if (fft) break;
                const HRESULT hr =
                    Put(*block, MemberId(*block, settings[(op >> 3) % 5]), Setting(in));
                Require(OneOf(hr, {S_OK, DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW}));
                break;
            }
            case 2: {
                lastStatus = -1;
                Operate(*block);
                Require(lastStatus != -1);
                break;
            }
            case 3:  // wired mode: the samples' entry, then a setting's
                Put(*block, 0x10003, Variant::I4(MemberId(*block, fft ? "Value" : "ValueOut")));
                break;
            case 4: {
                if (fft) break;
                Variant args[] = {Variant::I4(static_cast<int32_t>(in.Byte() % 50) - 2),
                                  RandomArray(in), Variant()};
                Variant result;
                Require(block->Invoke(MemberId(*block, "FilterData"), DISPATCH_METHOD, args,
                                      &result) == S_OK);
                Require(result.vt() == VT_BOOL);
                if (result.boolVal() != 0)
                    Require(args[2].parray()->Count() == static_cast<size_t>(args[0].lVal()));
                break;
            }
            default:
                Put(*block, 0x10001, Variant::Bool(true));  // ControlIn
                break;
        }
        if (!fft) CheckFilter(static_cast<CFIRFilterCtrl&>(*block));
    }
    return 0;
}
