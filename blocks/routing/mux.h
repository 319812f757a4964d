#pragma once
// OVMux and OVDemux steer one value by an index. OVMux delivers the input the
// index selects (Input0 to Input7) as its Value; OVDemux fires its Value
// through the output event the index selects (Output0 to Output7) and tells
// the host through ValidateGroup which of the other seven got nothing.
#include <cstdint>
#include <optional>

#include "framework/base_math_ctrl.h"

constexpr int32_t kRoutes = 8;  // inputs of a mux, outputs of a demux
constexpr int32_t MUX_HELP_CONTEXT = 60;
constexpr int32_t DEMUX_HELP_CONTEXT = 55;
constexpr DISPID EVENTID_DEMUX_OUTPUT0 = 6;  // Output0 to Output7: 6 to 13
constexpr int32_t kDemuxFirstGroup = 4;      // output n is group 4 + n

// The route an index selects: 0 to 7, or nullopt for any other index.
inline std::optional<int32_t> RouteOf(int32_t index) {
    if (index < 0 || index >= kRoutes) return std::nullopt;
    return index;
}

class COVMuxCtrl : public COVBaseMathCtrl {
  public:
    COVMuxCtrl();

    static const DispatchTable& MuxMembers();
    static constexpr ControlClass kClass{&MuxMembers, &BaseEvents, MUX_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    // Input0 to Input7 are DISPIDs 1 to 8. Their puts store and note the
    // change, but they are no table entries: only InputIndex and ControlIn
    // gate a wired run.
    template <int32_t N>
    Variant GetInputN() const {
        return m_inputs[N];
    }
    template <int32_t N>
    void SetInputN(const Variant& value) {
        PutInput(N + 1, m_inputs[N], value);
    }
    // InputIndex (DISPID 9, table entry 2).
    int32_t GetIndex() const { return m_lInputIndex; }
    void SetIndex(int32_t value) { PutInput(9, m_lInputIndex, value); }
    Variant GetValue() const { return m_varValue; }
    void SetValue(const Variant& value) { PutSetting(m_varValue, value); }
    Variant Operate() {
        Compute();
        return m_varValue;
    }

  protected:
    // Status 0; Value := a copy of the selected input, of whatever kind; an
    // index outside 0 to 7 gives ERROR_INVALID_DATA_HR and keeps Value;
    // FireResults.
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }

  private:
    Variant m_varValue;
    Variant m_inputs[kRoutes];
    int32_t m_lInputIndex = 0;
};

class COVDemuxCtrl : public COVBaseMathCtrl {
  public:
    COVDemuxCtrl();

    static const DispatchTable& DemuxMembers();
    static const EventTable& DemuxEvents();
    static constexpr ControlClass kClass{&DemuxMembers, &DemuxEvents, DEMUX_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetValue() const { return m_varValue; }
    void SetValue(const Variant& value) { PutInput(1, m_varValue, value); }
    int32_t GetOutputIndex() const { return m_lOutputIndex; }
    void SetOutputIndex(int32_t value) { PutInput(2, m_lOutputIndex, value); }
    void Operate() { Compute(); }

  protected:
    // Status 0; fires the selected output with Value, then ValidateGroup for
    // the other seven outputs' groups in ascending order; an index outside 0
    // to 7 gives ERROR_INVALID_DATA_HR and ValidateGroup for all eight;
    // FireResults.
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }

  private:
    Variant m_varValue;
    int32_t m_lOutputIndex = 0;
};
