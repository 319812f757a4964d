#pragma once
// What the two list-file fuzz targets share: the fuzzer's bytes become a list
// file on disk that a switch or lookup block reads in a run, as a host would
// drive it. Layout: byte 0 picks the delimiter (below 0x80 one of the offered
// seven, else the byte itself), byte 1 the input, the rest is the file.
//
// Checked on every run: reading the bytes from memory and from the file gives
// the same list; the run ends with a status the blocks name for a readable
// file (0 or type mismatch); an input taken from the list itself is found.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "blocks/routing/list_file.h"
#include "fuzz/fuzz_input.h"

struct ListRun {
    ListValues list;        // the list the bytes give, read from memory
    Variant input;          // what was put into the block
    bool fromList = false;  // the input is the list's last key or case
    int32_t status = 0;
    int outputs = 0;  // events fired with DISPID 6 and up
    ComPtr<COleControl> block;
};

inline bool SameList(const ListValues& a, const ListValues& b) {
    if (a.numeric != b.numeric || a.texts != b.texts || a.numbers.size() != b.numbers.size())
        return false;
    return a.numbers.empty() ||
           std::memcmp(a.numbers.data(), b.numbers.data(), a.numbers.size() * sizeof(double)) == 0;
}

// Runs block `coclass` over the bytes into `run`; `keyStride` is 2 for
// key/output pairs. Leaves run.block null for fewer than two bytes.
inline void RunListBlock(const uint8_t* data, size_t size, std::string_view coclass,
                         ListParser parse, size_t keyStride, ListRun& run) {
    if (size < 2) return;
    const char delimiter = data[0] < 0x80 ? static_cast<char>(kDelimiters[data[0] % 7].value)
                                          : static_cast<char>(data[0]);
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    ListReader memory(bytes);
    run.list = parse(memory, delimiter);

    const std::string path =
        "/tmp/tk_fuzz_" + std::to_string(getpid()) + "_" + std::string(coclass);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    const ListFileResult file = ReadListFile(path, delimiter, parse);
    Require(file.status == S_OK && SameList(file.values, run.list));

    const size_t count = run.list.Count();
    const size_t last = count >= keyStride ? (count / keyStride - 1) * keyStride : 0;
    switch (data[1] % 3) {
        case 0:
            run.input = Variant::R8(data[1]);
            break;
        case 1:
            run.input = Variant::Str(std::string(bytes.substr(0, data[1] % 16)));
            break;
        default:
            if (count == 0) break;
            run.fromList = true;
            run.input = run.list.numeric ? Variant::R8(run.list.numbers[last])
                                         : Variant::Str(run.list.texts[last]);
    }
    run.block = NewBlock(coclass);
    OnEvents(*run.block, [&run](DISPID id, std::span<const Variant>) {
        if (id >= 6 && id < 100) ++run.outputs;
    });
    auto put = [&run](std::string_view member, Variant value) {
        Require(SUCCEEDED(Put(*run.block, MemberId(*run.block, member), std::move(value))));
    };
    put("Delimiter", Variant::I2(static_cast<uint8_t>(delimiter)));
    put("LookupTable", Variant::Str(path));
    put(coclass == "OVLookup" ? "Input" : "Value", run.input);
    Operate(*run.block);
    run.status = Get(*run.block, 0x10002).lVal();
    Require(OneOf(run.status, {0, TYPE_E_TYPEMISMATCH}));
    // A key read back from the list matches, unless it is a NaN.
    const bool nan = run.fromList && run.list.numeric && std::isnan(run.list.numbers[last]);
    if (run.fromList && !nan) Require(run.status == 0);
    unlink(path.c_str());
}
