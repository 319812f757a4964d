#pragma once
// What the array blocks share on top of the block base: they run only in run
// mode, their integer inputs take the same put steps as their value inputs,
// and a ClearArray put empties the held array and reports at once.
#include <cstdint>

#include "framework/base_math_ctrl.h"
#include "framework/block_array.h"

class CArrayBlock : public COVBaseMathCtrl {
  public:
    using COVBaseMathCtrl::COVBaseMathCtrl;

  protected:
    BOOL CanRun() override { return AmbientUserMode(); }

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
