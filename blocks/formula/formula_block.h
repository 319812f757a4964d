#pragma once
// The Formula block: evaluates a user-written formula over eight numeric
// inputs. Each input answers to its default name ("Input1" .. "Input8") and,
// when given one, to a name of the user's choice.
#include <array>
#include <cstdint>
#include <string>

#include "formula/math_formula.h"
#include "framework/base_math_ctrl.h"

class CFormulaCtrl : public COVBaseMathCtrl {
  public:
    static constexpr int kInputCount = 8;
    static constexpr int32_t kHelpContext = 74;

    CFormulaCtrl();

    static const DispatchTable& FormulaMembers();
    static constexpr ControlClass kClass{&FormulaMembers, &BaseEvents, kHelpContext};
    const ControlClass& Class() const override { return kClass; }

    std::string GetFormula() const { return m_strFormula; }
    void SetFormula(const std::string& formula);
    template <int N>
    double GetInput() const {
        return m_inputs[N];
    }
    template <int N>
    void SetInput(double value) {
        m_inputs[N] = value;
        SetModifiedFlag();
        m_bInputChanged = TRUE;
        SetInputValid(kFirstInputDispid + N, TRUE);
    }
    double GetOutput1() const { return m_output; }
    void SetOutput1(double value);
    template <int N>
    std::string GetInputName() const {
        return m_names[N];
    }
    template <int N>
    void SetInputName(const std::string& name) {
        m_names[N] = name;
        m_bindingCurrent = false;
        SetModifiedFlag();
    }

    // The engine, for reading the state of the last parse and evaluation.
    const CMathFormula& Engine() const { return m_formula; }

  protected:
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }
    void DoPropExchange(CPropExchange* pPX) override;
    void OnResetState() override;

  private:
    static constexpr DISPID kFormulaDispid = 1;
    static constexpr DISPID kFirstInputDispid = 2;
    // Every input can own at most two variables: its own name and its default one.
    static constexpr int kMaxVariables = 2 * kInputCount;

    // Rebuilds the engine's variables from the names, the slow road that the
    // binding below then lets later computes skip.
    void BindVariables();
    void FireFormulaResults();

    std::string m_strFormula;
    std::array<double, kInputCount> m_inputs{};
    double m_output = 0.0;
    std::array<std::string, kInputCount> m_names;
    CMathFormula m_formula;

    // For each of the engine's variables, the input whose value it takes.
    // While the names are unchanged a compute only copies the values over.
    struct VariableSource {
        int32_t position;
        int32_t input;
    };
    std::array<VariableSource, kMaxVariables> m_binding{};
    int32_t m_bindingCount = 0;
    bool m_bindingCurrent = false;
};
