#pragma once
// Each block family's rows of the class table, in module/classes_<family>.cpp.
// Class identifiers share one family: {5A3C0000-7A11-4B1D-9E2B-00000000NNNN},
// NNNN unique across the module (base 0001, arithmetic 0010-001F, comparison
// 0020-002F, logic 0030-003F, decision blocks 0040-004F, formula 0050-005F,
// routing 0060-006F, arrays 0070-007F, random, function generator, statistics
// and histogram 0080-008F, FFT and FIR filter 0090-009F,
// placeholders 00A0-00AF). A control's own property page is its identifier
// plus 0x100; shared pages take 01F0-01FF; the type library is 0200 and the
// interfaces 1NNN (dispatch) and 2NNN (events) after their control.
#include <span>

#include "module/class_table.h"

// The factory every row uses: a new instance holding one reference.
template <class T>
ComPtr<COleControl> CreateControl() {
    return ComPtr<COleControl>(MakeCom<T>());
}

// The row of control class T, made by CreateControl<T> and described by T::kClass.
template <class T>
ClassEntry ControlRow(std::string_view shortName, unsigned id, int bitmap, bool registers) {
    return ControlRow(shortName, id, bitmap, registers, &CreateControl<T>, T::kClass);
}

std::span<const ClassEntry> BaseClasses();
std::span<const ClassEntry> ArithmeticClasses();
std::span<const ClassEntry> ComparisonClasses();  // the six comparison blocks
std::span<const ClassEntry> LogicClasses();       // the six logic blocks
std::span<const ClassEntry> DecisionClasses();    // IfThenElse, SubString, OVAlarm
std::span<const ClassEntry> FormulaClasses();
std::span<const ClassEntry> ArrayClasses();         // collector, elements, slicing, packing
std::span<const ClassEntry> SignalSourceClasses();  // OVRandom, OVFuncGen, Statistics, histogram
std::span<const ClassEntry> SpectralClasses();      // FFT, CFIRFilter
std::span<const ClassEntry> RoutingClasses();       // mux, demux, switch, lookup, bit packing
std::span<const ClassEntry> PlaceholderClasses();   // the eight placeholder controls
