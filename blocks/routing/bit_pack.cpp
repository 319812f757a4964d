#include "blocks/routing/bit_pack.h"

#include <string>

#include "platform/property_bag.h"

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

COVBitPackCtrl::COVBitPackCtrl() : COVBaseMathCtrl(1 + kBits) {}

const DispatchTable& COVBitPackCtrl::BitPackMembers() {
    using C = COVBitPackCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetBit<0>, &C::SetBit<0>>("Input0", 1,
                                                   "Input bit 0 - value must be 0 or 1."),
            Property<&C::GetBit<1>, &C::SetBit<1>>("Input1", 2,
                                                   "Input bit 1 - value must be 0 or 1."),
            Property<&C::GetBit<2>, &C::SetBit<2>>("Input2", 3,
                                                   "Input bit 2 - value must be 0 or 1."),
            Property<&C::GetBit<3>, &C::SetBit<3>>("Input3", 4,
                                                   "Input bit 3 - value must be 0 or 1."),
            Property<&C::GetBit<4>, &C::SetBit<4>>("Input4", 5,
                                                   "Input bit 4 - value must be 0 or 1."),
            Property<&C::GetBit<5>, &C::SetBit<5>>("Input5", 6,
                                                   "Input bit 5 - value must be 0 or 1."),
            Property<&C::GetBit<6>, &C::SetBit<6>>("Input6", 7,
                                                   "Input bit 6 - value must be 0 or 1."),
            Property<&C::GetBit<7>, &C::SetBit<7>>("Input7", 8,
                                                   "Input bit 7 - value must be 0 or 1."),
            Property<&C::GetValue, &C::SetValue>("Value", 9, "The packed byte, 0 to 255"),
            Method<&C::Operate>("Operate", 10, "Packs at once and returns Value"),
        });
    return table;
}

int32_t COVBitPackCtrl::GetInputIndex(DISPID dispid) {
    if (dispid >= 1 && dispid <= kBits) return dispid + 1;
    return COVBaseMathCtrl::GetInputIndex(dispid);
}

void COVBitPackCtrl::Compute() {
    ClearStatus();
    m_nValue = PackBits(m_inputs);
    FireResults(this);
}

void COVBitPackCtrl::DoPropExchange(CPropExchange* pPX) {
    COVBaseMathCtrl::DoPropExchange(pPX);
    for (int32_t i = 0; i < kBits; ++i)
        PX_Short(pPX, ("Input" + std::to_string(i)).c_str(), m_inputs[i], 0);
}

void COVBitPackCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    m_inputs.fill(0);
    m_nValue = 0;
    m_nHelpContext = BITPACK_HELP_CONTEXT;
}

// --- OVBitUnpack --------------------------------------------------------------

COVBitUnpackCtrl::COVBitUnpackCtrl() : COVBaseMathCtrl(2) {}

const DispatchTable& COVBitUnpackCtrl::BitUnpackMembers() {
    using C = COVBitUnpackCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInput, &C::SetInput>("Input", 1, "The byte to split, 0 to 255")
                .Input(2)
                .Persist<&C::m_nInput>("Input", {VT_I2, 0})
                .Reset<&C::m_nInput>({VT_I2, 0}),
            Property<&C::GetBit<0>, &C::SetBit<0>>("Output0", 2, "Bit 0 of the input"),
            Property<&C::GetBit<1>, &C::SetBit<1>>("Output1", 3, "Bit 1 of the input"),
            Property<&C::GetBit<2>, &C::SetBit<2>>("Output2", 4, "Bit 2 of the input"),
            Property<&C::GetBit<3>, &C::SetBit<3>>("Output3", 5, "Bit 3 of the input"),
            Property<&C::GetBit<4>, &C::SetBit<4>>("Output4", 6, "Bit 4 of the input"),
            Property<&C::GetBit<5>, &C::SetBit<5>>("Output5", 7, "Bit 5 of the input"),
            Property<&C::GetBit<6>, &C::SetBit<6>>("Output6", 8, "Bit 6 of the input"),
            Property<&C::GetBit<7>, &C::SetBit<7>>("Output7", 9, "Bit 7 of the input"),
            Method<&C::Operate>("Operate", 10, "Splits the input at once"),
        });
    return table;
}

void COVBitUnpackCtrl::Compute() {
    ClearStatus();
    m_outputs = UnpackBits(m_nInput);
    FireResults(this);
}

void COVBitUnpackCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    m_outputs.fill(0);
    m_nHelpContext = BITUNPACK_HELP_CONTEXT;
}
