#pragma once
// OVBitPack builds one byte from eight bit inputs; OVBitUnpack splits one byte
// into eight bit outputs. Both work on 16-bit integers and cannot fail.
#include <array>
#include <cstdint>

#include "framework/base_math_ctrl.h"

constexpr int32_t kBits = 8;
constexpr int32_t BITPACK_HELP_CONTEXT = 70;
constexpr int32_t BITUNPACK_HELP_CONTEXT = 71;

// Bit i of the result is set when bits[i] is nonzero; bits 8 to 15 stay 0.
int16_t PackBits(const std::array<int16_t, kBits>& bits);
// Element i is bit i of `byte` (0 or 1); bits 8 to 15 are ignored.
std::array<int16_t, kBits> UnpackBits(int16_t byte);

class COVBitPackCtrl : public COVBaseMathCtrl {
  public:
    COVBitPackCtrl();

    static const DispatchTable& BitPackMembers();
    static constexpr ControlClass kClass{&BitPackMembers, &BaseEvents, BITPACK_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    template <int32_t N>
    int16_t GetBit() const {
        return m_inputs[N];
    }
    template <int32_t N>
    void SetBit(int16_t value) {
        PutInput(N + 1, m_inputs[N], value);
    }
    int16_t GetValue() const { return m_nValue; }
    void SetValue(int16_t value) { PutBoundSetting(9, m_nValue, value); }
    int16_t Operate() {
        Compute();
        return m_nValue;
    }

  protected:
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }

  private:
    std::array<int16_t, kBits> m_inputs{};
    int16_t m_nValue = 0;
};

class COVBitUnpackCtrl : public COVBaseMathCtrl {
  public:
    COVBitUnpackCtrl();

    static const DispatchTable& BitUnpackMembers();
    static constexpr ControlClass kClass{&BitUnpackMembers, &BaseEvents, BITUNPACK_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    int16_t GetInput() const { return m_nInput; }
    void SetInput(int16_t value) { PutInput(1, m_nInput, value); }
    // Output0 to Output7 are DISPIDs 2 to 9; their puts change no validity.
    template <int32_t N>
    int16_t GetBit() const {
        return m_outputs[N];
    }
    template <int32_t N>
    void SetBit(int16_t value) {
        PutBoundSetting(N + 2, m_outputs[N], value);
    }
    void Operate() { Compute(); }

  protected:
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }

  private:
    std::array<int16_t, kBits> m_outputs{};
    int16_t m_nInput = 0;
};
