#include "blocks/routing/bit_pack.h"

#include <string_view>
#include <utility>
#include <vector>

int16_t PackBits(const std::array<int16_t, kBits>& bits) {
    int16_t byte = 0;
    for (int32_t i = 0; i < kBits; ++i) {
        if (bits[i] != 0) byte = static_cast<int16_t>(byte | (1 << i));
    }
    return byte;
}

std::array<int16_t, kBits> UnpackBits(int16_t byte) {
    std::array<int16_t, kBits> bits{};
    for (int32_t i = 0; i < kBits; ++i)
        bits[i] = static_cast<int16_t>((byte >> i) & 1);
    return bits;
}

// --- OVBitPack ----------------------------------------------------------------

namespace {

constexpr const char* kInputNames[kBits] = {"Input0", "Input1", "Input2", "Input3",
                                            "Input4", "Input5", "Input6", "Input7"};
constexpr std::string_view kInputHelp[kBits] = {
    "Input bit 0 - value must be 0 or 1.", "Input bit 1 - value must be 0 or 1.",
    "Input bit 2 - value must be 0 or 1.", "Input bit 3 - value must be 0 or 1.",
    "Input bit 4 - value must be 0 or 1.", "Input bit 5 - value must be 0 or 1.",
    "Input bit 6 - value must be 0 or 1.", "Input bit 7 - value must be 0 or 1.",
};

constexpr const char* kOutputNames[kBits] = {"Output0", "Output1", "Output2", "Output3",
                                             "Output4", "Output5", "Output6", "Output7"};
constexpr std::string_view kOutputHelp[kBits] = {
    "Bit 0 of the input", "Bit 1 of the input", "Bit 2 of the input", "Bit 3 of the input",
    "Bit 4 of the input", "Bit 5 of the input", "Bit 6 of the input", "Bit 7 of the input",
};

}  // namespace

COVBitPackCtrl::COVBitPackCtrl() : COVBaseMathCtrl(1 + kBits) {}

const DispatchTable& COVBitPackCtrl::BitPackMembers() {
    using C = COVBitPackCtrl;
    // Input0 to Input7: DISPIDs 1 to 8, table entries 2 to 9.
    auto inputs = []<size_t... N>(std::index_sequence<N...>) {
        return std::vector<MemberDesc>{
            Property<&C::GetBit<N>, &C::SetBit<N>>(kInputNames[N], static_cast<DISPID>(N + 1),
                                                   kInputHelp[N])
                .Input(static_cast<int16_t>(N + 2))
                .template Persist<&C::m_inputs, N>(kInputNames[N], {VT_I2, 0})
                .template Reset<&C::m_inputs, N>({VT_I2, 0})...};
    };
    static const DispatchTable table(&COVBaseMathCtrl::BaseMembers(), [&] {
        std::vector<MemberDesc> own = inputs(std::make_index_sequence<kBits>());
        own.push_back(Property<&C::GetValue, &C::SetValue>("Value", 9, "The packed byte, 0 to 255")
                          .HiddenPut()
                          .Reset<&C::m_nValue>({VT_I2, 0}));
        own.push_back(Method<&C::Operate>("Operate", 10, "Packs at once and returns Value"));
        return own;
    }());
    return table;
}

void COVBitPackCtrl::Compute() {
    ClearStatus();
    m_nValue = PackBits(m_inputs);
    FireResults(this);
}

// --- OVBitUnpack --------------------------------------------------------------

COVBitUnpackCtrl::COVBitUnpackCtrl() : COVBaseMathCtrl(2) {}

const DispatchTable& COVBitUnpackCtrl::BitUnpackMembers() {
    using C = COVBitUnpackCtrl;
    // Output0 to Output7: DISPIDs 2 to 9, 0 when new.
    auto outputs = []<size_t... N>(std::index_sequence<N...>) {
        return std::vector<MemberDesc>{
            Property<&C::GetBit<N>, &C::SetBit<N>>(kOutputNames[N], static_cast<DISPID>(N + 2),
                                                   kOutputHelp[N])
                .HiddenPut()
                .template Reset<&C::m_outputs, N>({VT_I2, 0})...};
    };
    static const DispatchTable table(&COVBaseMathCtrl::BaseMembers(), [&] {
        std::vector<MemberDesc> own = {
            Property<&C::GetInput, &C::SetInput>("Input", 1, "The byte to split, 0 to 255")
                .Input(2)
                .Persist<&C::m_nInput>("Input", {VT_I2, 0})
                .Reset<&C::m_nInput>({VT_I2, 0}),
        };
        std::vector<MemberDesc> bits = outputs(std::make_index_sequence<kBits>());
        own.insert(own.end(), bits.begin(), bits.end());
        own.push_back(Method<&C::Operate>("Operate", 10, "Splits the input at once"));
        return own;
    }());
    return table;
}

void COVBitUnpackCtrl::Compute() {
    ClearStatus();
    m_outputs = UnpackBits(m_nInput);
    FireResults(this);
}
