#pragma once
// What the array blocks share on top of the block base: they run only in run
// mode, their integer inputs take the same put steps as their value inputs,
// and a ClearArray put empties the held array and reports at once.
#include <cstdint>

#include "framework/base_math_ctrl.h"
#include "framework/block_array.h"
#include "platform/property_bag.h"

class CArrayBlock : public COVBaseMathCtrl {
  public:
    // `inputCount` counts the validity table's entries, ControlIn included;
    // the inputs are DISPIDs 1 .. inputCount - 1, in table order.
    explicit CArrayBlock(int32_t inputCount) : COVBaseMathCtrl(inputCount) {}

  protected:
    BOOL CanRun() override { return AmbientUserMode(); }
    int32_t GetInputIndex(DISPID dispid) override {
        if (dispid >= 1 && dispid < m_nInputs) return dispid + 1;
        return COVBaseMathCtrl::GetInputIndex(dispid);
    }
    // The control version and the base's properties, before a block's own.
    void ExchangeCommon(CPropExchange* pPX) {
        uint32_t version = CONTROL_VERSION;
        ExchangeVersion(pPX, version, CONTROL_VERSION);
        COVBaseMathCtrl::DoPropExchange(pPX);
    }

    // The input put steps for a field of any kind: store, mark modified, give
    // the bound-change notice, note the change and mark the input valid (which
    // may run the block).
    template <class Field>
    void PutInputField(DISPID dispid, Field& field, const Field& value) {
        field = value;
        SetModifiedFlag();
        NotifyBoundChange(dispid);
        m_bInputChanged = TRUE;
        SetInputValid(dispid, TRUE);
    }

    // The first steps of a put that collects a value at once (collector, pack):
    // the input put steps without marking the input valid, and a fresh status.
    void BeginCollect(DISPID dispid, Variant& field, const Variant& value) {
        field = value;
        SetModifiedFlag();
        NotifyBoundChange(dispid);
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
