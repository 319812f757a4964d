#pragma once
// The five two-input arithmetic blocks: OVAdd, OVSubtract, OVMultiply,
// OVDivide and OVModulus. They share one interface and one shape of
// computation and differ only by the data in their ArithmeticKind.
#include <cstdint>

#include "framework/base_math_ctrl.h"
#include "framework/family_block.h"

// The largest double written with 15 significant digits; every overflow guard
// uses it rather than the true maximum.
constexpr double OverflowLimit = 1.79764313486232E+308;

enum class ArithOp { Add, Subtract, Multiply, Divide, Modulus };
constexpr size_t kArithOpCount = 5;

struct ArithmeticResult {
    int32_t status = 0;
    bool store = false;  // whether Value takes `value`
    Variant value;
};

// The computation on plain values, without the block around it. `x` and `y`
// are the inputs as put; the result says which status the run ends with and
// what Value holds afterwards (unchanged unless `store`).
ArithmeticResult ComputeArithmetic(ArithOp op, const Variant& x, const Variant& y);

struct ArithmeticKind {
    ArithOp op;             // also the row's index in the family table
    const char* shortName;  // "OVAdd"
    int32_t helpContext;
    VARTYPE persistedKind;  // how InputX and InputY are saved and loaded
    double defaultY;        // initial InputY (as a long) and its persisted default
    VARTYPE valueKind;      // initial kind of Value
};

class COVArithmeticCtrl : public COVBaseMathCtrl {
  public:
    explicit COVArithmeticCtrl(ArithOp op);

    static const DispatchTable& ArithmeticMembers();
    // Indexed by ArithOp.
    static const ControlClass kKindClasses[kArithOpCount];
    const ControlClass& Class() const override {
        return kKindClasses[static_cast<size_t>(kind_.op)];
    }
    const ArithmeticKind& Kind() const { return kind_; }

    Variant GetInputX() const { return InputX; }
    void SetInputX(const Variant& value) { PutInput(1, InputX, value); }
    Variant GetInputY() const { return InputY; }
    void SetInputY(const Variant& value) { PutInput(2, InputY, value); }
    Variant GetValue() const { return Value; }
    void SetValue(const Variant& value);
    Variant Operate();

  protected:
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }
    void DoPropExchange(CPropExchange* pPX) override;
    void OnResetState() override;

  private:
    const ArithmeticKind& kind_;
    Variant Value;
    Variant InputY;
    Variant InputX;
};

using COVAddCtrl = FamilyBlock<COVArithmeticCtrl, ArithOp::Add>;
using COVSubtractCtrl = FamilyBlock<COVArithmeticCtrl, ArithOp::Subtract>;
using COVMultiplyCtrl = FamilyBlock<COVArithmeticCtrl, ArithOp::Multiply>;
using COVDivideCtrl = FamilyBlock<COVArithmeticCtrl, ArithOp::Divide>;
using COVModulusCtrl = FamilyBlock<COVArithmeticCtrl, ArithOp::Modulus>;
