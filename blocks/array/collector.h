#pragma once
// OVCollector: gathers values that arrive one at a time on New into a
// one-dimensional array at consecutive indices, and hands the array out on
// Array when it runs. The first value fixes the element type; later values are
// converted to it.
#include <cstdint>

#include "blocks/array/array_block.h"

// Appends `value` to the collection held in `array` at index `current`.
// Without an array, a negative `current` becomes 0, `start` takes `current`
// and a one-element array of the value's type is created at `start` (none for
// a type IsUnheldElementType names: S_OK, nothing stored). With one,
// `value` is converted in place to its element type (a value that does not
// convert is dropped: S_OK, nothing changes) and the array is resized to
// `start` .. `current`. The value is then stored at `current`, which moves on,
// unless its type is not storable or the array is not one-dimensional. Returns S_OK or the failure
// to report: E_OUTOFMEMORY when the array cannot be created, the resize's code when it cannot be
// resized (a `current` that wrapped past INT32_MAX gives E_INVALIDARG).
HRESULT CollectValue(Variant& array, Variant& value, int32_t& current, int32_t& start);

constexpr int32_t COLLECTOR_HELP_CONTEXT = 53;

class COVCollectorCtrl : public CCollectingBlock {
  public:
    COVCollectorCtrl();

    static const DispatchTable& CollectorMembers();
    static constexpr ControlClass kClass{&CollectorMembers, &BaseEvents, COLLECTOR_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetNew() const { return New; }
    // Collects the value at once, then marks New valid (which may run the block).
    void SetNew(const Variant& value);
    // Reads the current index; a put moves both the current and the start index.
    int32_t GetArrayIndex() const { return m_lCurrent; }
    void SetArrayIndex(int32_t index);
    Variant GetArray() const { return Array; }
    void SetArray(const Variant& value) { PutSetting(Array, value); }
    void SetClearArray(const Variant& any);
    Variant Operate();

  protected:
    // Hands the array out; with ClearOnOutput the next value starts a new one.
    void Compute() override;

  private:
    Variant New;
    Variant Array;
};
