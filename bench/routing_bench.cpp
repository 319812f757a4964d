// Routing blocks against plain C++ doing the same work, timed in alternating
// rounds of one run (bench/time_ratio.h):
//   BM_LoadLookupList  reading a 100,000-line numeric list file, against a loop
//                      that splits the same bytes (in memory) at the delimiter
//                      and parses each number with std::from_chars; the reader
//                      keeps the first 512 entries, so "vs_from_chars_512"
//                      stops the reference there too and "vs_from_chars_all"
//                      lets it parse every line;
//   BM_LookupOperate   Operate of OVLookup through Invoke on a 100,000-entry
//                      table with the key near the end, against a loop over a
//                      std::vector<double> with the same match rule;
//   BM_MuxOperate      Operate of OVMux through Invoke, against a function that
//                      selects one of eight values and returns a copy.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/time_ratio.h"
#include "blocks/routing/list_file.h"
#include "blocks/routing/lookup.h"
#include "blocks/routing/mux.h"
#include "platform/safearray.h"

namespace {

constexpr int kLines = 100000;
constexpr double kNearEnd = kLines - 10;
// Many short rounds: on a busy machine some of them run undisturbed.
constexpr int kRounds = 41;

// "i,i*2.5" for every line, like a table a user exports from a spreadsheet.
const std::string& ListBytes() {
    static const std::string bytes = [] {
        std::string s;
        for (int i = 0; i < kLines; ++i)
            s += std::to_string(i) + "," + std::to_string(i * 2.5) + "\n";
        return s;
    }();
    return bytes;
}

const std::string& ListPath() {
    static const std::string path = [] {
        const std::string p = "/tmp/tk_routing_bench_" + std::to_string(getpid()) + ".csv";
        std::ofstream(p, std::ios::binary) << ListBytes();
        return p;
    }();
    return path;
}

// Splits lines at ',' and parses both sides with from_chars, up to `limit` entries.
[[gnu::noinline]] size_t PlainParse(const std::string& bytes, size_t limit,
                                    std::vector<double>& out) {
    out.clear();
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end && out.size() < 2 * limit) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (eol == nullptr) eol = end;
        const char* comma = static_cast<const char*>(std::memchr(p, ',', eol - p));
        if (comma != nullptr) {
            double key = 0, value = 0;
            std::from_chars(p, comma, key);
            std::from_chars(comma + 1, eol, value);
            out.push_back(key);
            out.push_back(value);
        }
        p = eol + 1;
    }
    return out.size();
}

void LoadList() {
    ListFileResult r = ReadListFile(ListPath(), ',', &ParseLookupList);
    benchmark::DoNotOptimize(r);
}

void BM_LoadLookupList(benchmark::State& state) {
    for (auto _ : state)
        LoadList();
    std::vector<double> out;
    state.counters["vs_from_chars_512"] = TimeRatio(
        LoadList, [&] { benchmark::DoNotOptimize(PlainParse(ListBytes(), 512, out)); }, 50,
        kRounds);
    state.counters["vs_from_chars_all"] = TimeRatio(
        LoadList, [&] { benchmark::DoNotOptimize(PlainParse(ListBytes(), kLines, out)); }, 5,
        kRounds);
}
BENCHMARK(BM_LoadLookupList);

// The same keys and outputs as the list, as a 2-by-n table of doubles.
Variant BigTable() {
    const SAFEARRAYBOUND bounds[2] = {{2, 0}, {kLines, 0}};
    SafeArrayPtr table = SafeArrayCreate(VT_R8, 2, bounds);
    std::span<double> data = table->Data<double>();
    for (int i = 0; i < kLines; ++i) {
        data[2 * i] = i;
        data[2 * i + 1] = i * 2.5;
    }
    return Variant::Array(std::move(table));
}

[[gnu::noinline]] double PlainLookup(const std::vector<double>& keys,
                                     const std::vector<double>& outputs, double x) {
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == x) return outputs[i];
    }
    return 0;
}

void BM_LookupOperate(benchmark::State& state) {
    auto lookup = MakeCom<COVLookupCtrl>();
    lookup->InitNew();
    Variant table[] = {BigTable()};
    lookup->Invoke(DISPID_LOOKUPTABLE, DISPATCH_PROPERTYPUT, table, nullptr);
    Variant input[] = {Variant::R8(kNearEnd)};
    lookup->Invoke(1, DISPATCH_PROPERTYPUT, input, nullptr);
    Variant out;
    auto operate = [&] {
        lookup->Invoke(5, DISPATCH_METHOD, {}, &out);
        benchmark::DoNotOptimize(out);
    };
    for (auto _ : state)
        operate();
    std::vector<double> keys(kLines), outputs(kLines);
    for (int i = 0; i < kLines; ++i) {
        keys[i] = i;
        outputs[i] = i * 2.5;
    }
    state.counters["vs_plain_loop"] = TimeRatio(
        operate, [&] { benchmark::DoNotOptimize(PlainLookup(keys, outputs, kNearEnd)); }, 50,
        kRounds);
}
BENCHMARK(BM_LookupOperate);

[[gnu::noinline]] Variant PlainSelect(const Variant (&inputs)[8], int32_t index) {
    return inputs[index];
}

void BM_MuxOperate(benchmark::State& state) {
    auto mux = MakeCom<COVMuxCtrl>();
    mux->InitNew();
    Variant inputs[8];
    for (int n = 0; n < 8; ++n) {
        inputs[n] = Variant::R8(n + 0.5);
        Variant arg[] = {inputs[n]};
        mux->Invoke(n + 1, DISPATCH_PROPERTYPUT, arg, nullptr);
    }
    Variant index[] = {Variant::I4(5)};
    mux->Invoke(9, DISPATCH_PROPERTYPUT, index, nullptr);
    Variant out;
    auto operate = [&] {
        mux->Invoke(11, DISPATCH_METHOD, {}, &out);
        benchmark::DoNotOptimize(out);
    };
    for (auto _ : state)
        operate();
    state.counters["vs_plain"] = TimeRatio(
        operate,
        [&] {
            Variant r = PlainSelect(inputs, 5);
            benchmark::DoNotOptimize(r);
        },
        20000, kRounds);
}
BENCHMARK(BM_MuxOperate);

}  // namespace
