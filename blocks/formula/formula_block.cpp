#include "blocks/formula/formula_block.h"

#include <utility>
#include <vector>

namespace {

constexpr const char* kInputMembers[CFormulaCtrl::kInputCount] = {
    "Input1", "Input2", "Input3", "Input4", "Input5", "Input6", "Input7", "Input8"};
constexpr const char* kNameMembers[CFormulaCtrl::kInputCount] = {
    "Input1Name", "Input2Name", "Input3Name", "Input4Name",
    "Input5Name", "Input6Name", "Input7Name", "Input8Name"};
// The input members' help strings, as the type library has always spelt them
// (misspelling included: type-library readers compare them).
constexpr const char* kInputHelp[CFormulaCtrl::kInputCount] = {
    "First input value into the formula",   "Second input value into the formula",
    "Third input value into the formula",   "Fourth input value into the formula",
    "Fifth input value into the formula",   "Sixth input value into the formula",
    "Seventh input value into the formula", "Eigth input value into the formula"};

// An input's default variable name is its member name.
constexpr const char* const* kDefaultNames = kInputMembers;

}  // namespace

CFormulaCtrl::CFormulaCtrl() : COVBaseMathCtrl(10) {
    // A block that is neither reset nor loaded still reports its empty formula.
    m_formula.Parse(m_strFormula);
}

const DispatchTable& CFormulaCtrl::FormulaMembers() {
    using C = CFormulaCtrl;
    // Input1 to Input8 at DISPIDs 2 to 9, their variable names at 11 to 18.
    auto inputs = []<size_t... N>(std::index_sequence<N...>) {
        return std::vector<MemberDesc>{
            Property<&C::GetInput<N>, &C::SetInput<N>>(kInputMembers[N], static_cast<DISPID>(2 + N),
                                                       kInputHelp[N])
                .Input(static_cast<int16_t>(3 + N))
                .template Persist<&C::m_inputs, N>(kInputMembers[N], {VT_R8, 0.0})
                .template Reset<&C::m_inputs, N>({VT_R8, 0.0})...};
    };
    auto names = []<size_t... N>(std::index_sequence<N...>) {
        return std::vector<MemberDesc>{
            Property<&C::GetInputName<N>, &C::SetInputName<N>>(
                kNameMembers[N], static_cast<DISPID>(11 + N),
                "Variable name of the input in the formula")
                .Hidden()
                .template Persist<&C::m_names, N>(kNameMembers[N], {VT_BSTR, 0, kDefaultNames[N]})
                .template Reset<&C::m_names, N>({VT_BSTR, 0, kDefaultNames[N]})...};
    };
    static const DispatchTable table(&COVBaseMathCtrl::BaseMembers(), [&] {
        constexpr auto each = std::make_index_sequence<kInputCount>();
        std::vector<MemberDesc> members;
        // A stored block without a formula keeps the one it has.
        members.push_back(Property<&C::GetFormula, &C::SetFormula>(
                              "Formula", kFormulaDispid, "Mathematical formula to evaluate")
                              .Input(2)
                              .Persist<&C::m_strFormula>("Formula", {VT_BSTR, 0, ""})
                              .KeepWhenMissing()
                              .Reset<&C::m_strFormula>({VT_BSTR, 0, ""}));
        members.push_back(Property<&C::GetFormula, &C::SetFormula>(
            "_Formula", DISPID_VALUE, "Mathematical formula to evaluate"));
        // Stored blocks list the names before the inputs; members persist in
        // table order.
        std::vector<MemberDesc> own = names(each);
        members.insert(members.end(), own.begin(), own.end());
        own = inputs(each);
        members.insert(members.end(), own.begin(), own.end());
        members.push_back(Property<&C::GetOutput1, &C::SetOutput1>(
                              "Output1", 10, "Output value from formula evaluation")
                              .HiddenPut()
                              .Persist<&C::m_output>("Output1", {VT_R8, 0.0})
                              .Reset<&C::m_output>({VT_R8, 0.0}));
        return members;
    }());
    return table;
}

void CFormulaCtrl::SetFormula(const std::string& formula) {
    m_strFormula = formula;
    m_formula.Parse(m_strFormula);
    SetModifiedFlag();
    m_bInputChanged = TRUE;
    SetInputValid(kFormulaDispid, TRUE);
}

void CFormulaCtrl::SetOutput1(double value) {
    PutSetting(m_output, value);
}

void CFormulaCtrl::BindVariables() {
    m_formula.ClearVariables();
    m_bindingCount = 0;
    bool complete = true;
    auto bind = [&](int32_t position, int32_t input) {
        if (position < 0) {
            complete = false;  // out of memory: the name stays undefined this time
            return;
        }
        for (int32_t i = 0; i < m_bindingCount; ++i) {
            if (m_binding[i].position == position) {
                m_binding[i].input = input;  // a later input of the same name wins
                return;
            }
        }
        m_binding[m_bindingCount++] = {position, input};
    };
    for (int32_t n = 0; n < kInputCount; ++n) {
        if (!m_names[n].empty()) bind(m_formula.SetVariable(m_names[n], m_inputs[n]), n);
    }
    // A default name reaches its input unless the user gave it to another one.
    for (int32_t n = 0; n < kInputCount; ++n) {
        if (m_formula.FindVariable(kDefaultNames[n]) == nullptr) {
            bind(m_formula.SetVariable(kDefaultNames[n], m_inputs[n]), n);
        }
    }
    m_bindingCurrent = complete;
}

void CFormulaCtrl::Compute() {
    if (m_bindingCurrent) {
        for (int32_t i = 0; i < m_bindingCount; ++i) {
            m_formula.SetVariableValue(m_binding[i].position, m_inputs[m_binding[i].input]);
        }
    } else {
        BindVariables();
    }
    m_output = m_formula.Evaluate();
    ClearStatus();
    if (const int32_t code = m_formula.GetErrorCode(); code != 0) {
        m_lStatusCode = code;
        m_strErrorString = m_formula.GetErrorMessage();
    }
    // The block delivers its output, not a number included, whatever the status.
    FireResults(this, true, true);
}

void CFormulaCtrl::DoPropExchange(CPropExchange* pPX) {
    COVBaseMathCtrl::DoPropExchange(pPX);
    if (pPX->IsLoading()) {
        m_formula.Parse(m_strFormula);  // a loaded block is ready to compute
        m_bindingCurrent = false;
    }
}

void CFormulaCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    m_formula.Parse(m_strFormula);
    m_bindingCurrent = false;
}
