#pragma once
// What the array blocks share on top of the block base: they run only in run
// mode, and a ClearArray put empties the held array and reports at once. Their
// member rows give the validity-table entries, persisted names and resets.
#include <cstdint>

#include "framework/base_math_ctrl.h"
#include "framework/block_array.h"

class CArrayBlock : public COVBaseMathCtrl {
  public:
    // `inputCount` counts the validity table's entries, ControlIn included.
    explicit CArrayBlock(int32_t inputCount) : COVBaseMathCtrl(inputCount) {}

  protected:
    BOOL CanRun() override { return AmbientUserMode(); }

    // The first steps of a put that collects a value at once (collector, pack):
    // the input put steps without marking the input valid, and a fresh status.
    void BeginCollect(DISPID dispid, Variant& field, const Variant& value) {
        PutBoundSetting(dispid, field, value);
        m_bInputChanged = TRUE;
        ClearStatus();
    }

    // ClearArray: empties `array`, then status 0 and the common events at once,
    // whatever the validity table says.
    void ClearAndReport(Variant& array) {
        array.Clear();
        ClearStatus();
        FireResults(this);
    }

    // Reports a failure found while collecting, before the input is marked valid.
    void ReportNow(HRESULT status) {
        m_lStatusCode = status;
        FireResults(this);
    }
};

// A block whose result is a new array on OutputArray (concatenation,
// sub-array, unpack): a put of OutputArray stores a copy without a run, and
// Operate runs the block and returns a copy of the result.
class CArrayOutputBlock : public CArrayBlock {
  public:
    using CArrayBlock::CArrayBlock;

    Variant GetOutputArray() const { return OutputArray; }
    void SetOutputArray(const Variant& value) { PutSetting(OutputArray, value); }
    Variant Operate() {
        Compute();
        return OutputArray;
    }

  protected:
    void OnResetState() override {
        COVBaseMathCtrl::OnResetState();
        OutputArray.Clear();
    }

    Variant OutputArray;
};

// A block that gathers what arrives on its first input into a growing array
// (collector, pack): a position (index or row) where the next arrival goes,
// the start position a new array begins at, and ClearOnOutput, after which the
// next arrival begins a new array.
class CCollectingBlock : public CArrayBlock {
  public:
    using CArrayBlock::CArrayBlock;

    bool GetClearOnOutput() const { return m_bClearOnOutput != FALSE; }
    void SetClearOnOutput(bool value) { PutBoundSetting(5, m_bClearOnOutput, BOOL{value}); }

  protected:
    // A put of the position input (DISPID 2) moves both positions.
    void MoveTo(int32_t position) {
        m_lStart = position;
        PutInput(2, m_lCurrent, position);
    }
    void OnResetState() override {
        COVBaseMathCtrl::OnResetState();
        m_lCurrent = 0;
        m_lStart = 0;
        m_bClearOnOutput = TRUE;
        m_bClearPending = FALSE;
    }

    int32_t m_lCurrent = 0;  // where the next arrival goes
    int32_t m_lStart = 0;    // where a new array begins
    BOOL m_bClearOnOutput = TRUE;
    BOOL m_bClearPending = FALSE;  // set by an output with ClearOnOutput
};
