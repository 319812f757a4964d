// Random arrays and settings into Statistics, the histogram and OVFuncGen,
// driven as a host drives them: no crash, every status one the blocks
// define, and outputs that keep their shape (the histogram's two rows, its
// sorted data as long as the data and in order, as many samples as asked).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "blocks/signal/function_generator.h"
#include "blocks/signal/histogram.h"
#include "blocks/signal/statistics.h"
#include "fuzz/fuzz_input.h"
#include "platform/safearray.h"

namespace {

const VARTYPE kKinds[] = {VT_R8,   VT_R4,   VT_I4,      VT_I2,  VT_UI1,
                          VT_BSTR, VT_BOOL, VT_VARIANT, VT_DATE};
const char* const kTexts[] = {"1.5", " 2", "3 ", "x", "", "nan", "-inf", "1e400", "0x10"};

double Number(FuzzBytes& in) {
    switch (in.Byte() % 6) {
        case 0:
            return in.Raw<double>();  // NaNs, infinities, subnormals
        case 1:
            return -0.0;
        default:
            return static_cast<double>(static_cast<int8_t>(in.Byte())) / 4;
    }
}

Variant Element(FuzzBytes& in, VARTYPE kind) {
    if (kind == VT_BSTR) return Variant::Str(kTexts[in.Byte() % std::size(kTexts)]);
    Variant v = Variant::R8(Number(in));
    if (kind == VT_VARIANT) return v;
    Variant converted;
    VariantChangeType(&converted, &v, 0, kind);
    return converted;  // empty when out of the kind's range, refused by the put
}

Variant Input(FuzzBytes& in) {
    if (in.Byte() % 8 == 0) return Variant::R8(Number(in));
    const VARTYPE kind = kKinds[in.Byte() % std::size(kKinds)];
    const bool square = in.Byte() % 8 == 0;
    const uint32_t count = in.Byte() % 40;
    const SAFEARRAYBOUND bounds[2] = {
        {square ? 2u : count, static_cast<int32_t>(in.Byte() % 5) - 2}, {count / 2, 0}};
    SafeArrayPtr a = SafeArrayCreate(kind, square ? 2 : 1, bounds);
    if (!a) return Variant();
    for (size_t i = 0; i < a->Count(); ++i)
        a->SetElementAt(i, Element(in, kind));
    return Variant::Array(std::move(a));
}

bool Sorted(const Variant& data) {
    std::span<const double> d = data.parray()->Data<double>();
    for (size_t i = 1; i < d.size(); ++i) {
        if (std::isnan(d[i - 1]) ? !std::isnan(d[i]) : d[i] < d[i - 1]) return false;
    }
    return true;
}

void Histogram(FuzzBytes& in) {
    auto h = MakeCom<COVHistogramCtrl>();
    h->InitNew();
    h->SetAccumulate(in.Byte() & 1);
    h->SetRange(static_cast<int16_t>(in.Byte() % 3));
    h->SetOutlying(static_cast<int16_t>(in.Byte() % 3));
    h->SetNormalize(static_cast<int16_t>(in.Byte() % 4));
    h->SetScale(Number(in));
    h->SetBinMinValue(Variant::R8(Number(in)));
    h->SetBinMaxValue(Variant::R8(Number(in)));
    const int32_t bins[] = {0, 1, 3, 100, -2, 1000000000};
    if (in.Byte() & 1) {
        h->SetNumberOfBins(Variant::I4(bins[in.Byte() % std::size(bins)]));
    } else {
        h->SetBinIncrement(Variant::R8(Number(in)));
    }
    for (int put = in.Byte() % 4; put >= 0; --put)
        h->SetInputValues(Input(in));
    h->Operate();
    const int32_t s = h->GetStatusCode();
    Require(OneOf(s, {0, DISP_E_OVERFLOW, ERROR_INVALID_DATA_HR, E_OUTOFMEMORY}));
    if (s != 0 && s != DISP_E_OVERFLOW) return;
    const Variant table = h->GetHistogamArray();
    Require(table.IsArray() && table.parray()->Dims() == 2 &&
            table.parray()->Bound(0).cElements == 2);
    const Variant data = h->GetDataArray();
    Require(data.IsArray() && Sorted(data));
    h->SetClear(Variant());
}

void Statistics(FuzzBytes& in) {
    auto st = MakeCom<CStatisticsCtrl>();
    st->InitNew();
    st->SetValue(Input(in));
    st->Operate();
    const int32_t s = st->GetStatusCode();
    Require(OneOf(s, {0, TYPE_E_TYPEMISMATCH, ERROR_INVALID_DATA_HR}));
}

void Generator(FuzzBytes& in) {
    auto g = MakeCom<COVFuncGenCtrl>();
    g->InitNew();
    g->SetWaveform(static_cast<int32_t>(in.Byte() % 9) - 1);
    g->SetFrequency(Number(in));
    g->SetPhase(Number(in));
    g->SetTime(Number(in));
    g->SetDampingFactor(Number(in));
    g->SetSampleRate(Number(in));
    const int32_t size = in.Byte() & 1 ? INT32_MAX : in.Byte() % 64;
    g->SetArraySize(size);
    const Variant v = g->Operate();
    const int32_t s = g->GetStatusCode();
    Require(OneOf(s, {0, ERROR_INVALID_DATA_HR, E_OUTOFMEMORY}));
    if (s == 0) Require(v.parray()->Count() == static_cast<size_t>(g->GetArraySize()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    while (!in.Empty()) {
        switch (in.Byte() % 3) {
            case 0:
                Histogram(in);
                break;
            case 1:
                Statistics(in);
                break;
            default:
                Generator(in);
                break;
        }
    }
    return 0;
}
