#include "framework/base_math_ctrl.h"

#include <cstring>
#include <new>
#include <string_view>
#include <typeinfo>

#include "framework/block_array.h"
#include "framework/block_help.h"
#include "framework/block_picture.h"
#include "framework/status.h"
#include "platform/registry.h"

namespace {

// Null for a negative count, one beyond the array budget, or when memory
// runs out.
std::unique_ptr<BOOL[]> AllocateTable(int32_t count) {
    if (count < 0 || static_cast<size_t>(count) > ArrayByteLimit() / sizeof(BOOL)) return nullptr;
    std::unique_ptr<BOOL[]> table(new (std::nothrow) BOOL[static_cast<size_t>(count)]);
    if (table) {
        for (int32_t i = 0; i < count; ++i)
            table[i] = TRUE;
    }
    return table;
}

}  // namespace

const DispatchTable& COVBaseMathCtrl::BaseMembers() {
    using C = COVBaseMathCtrl;
    static const DispatchTable table(
        nullptr,
        {
            Property<&C::GetControlIn, &C::SetControlIn>(
                "ControlIn", DISPID_CONTROLIN, "Trigger input: putting it runs a wired block"),
            Property<&C::GetStatusCode, &C::SetStatusCode>(
                "StatusCode", DISPID_STATUSCODE, "Status of the last computation (0 = success)")
                .HiddenPut(),
            WriteOnly<&C::SetInvalidProperty>("InvalidProperty", DISPID_INVALIDPROPERTY,
                                              "Marks the input with this DISPID invalid")
                .Hidden(),
            Property<&C::GetCancelBlock, &C::SetCancelBlock>(
                "CancelBlock", DISPID_CANCELBLOCK,
                "Set from a RunBlock handler to cancel the rest of the run")
                .HiddenPut(),
            Method<&C::ShowHelp>("ShowHelp", DISPID_SHOWHELP, "Opens the block's help topic"),
            Method<&C::QuickHelp>("QuickHelp", DISPID_QUICKHELP, "Opens the block's help topic"),
            Method<&C::ShowPropertyPages>("ShowPropertyPages", DISPID_SHOWPROPERTYPAGES,
                                          "Opens the block's property sheet"),
            Property<&C::GetPropertyValid, &C::SetPropertyValid>(
                "PropertyValid", DISPID_PROPERTYVALID,
                "Validity of the input with this DISPID (0: the block as a whole)")
                .Params("dispidProperty")
                .Hidden(),
            Property<&C::GetPlexaInfo, &C::SetPlexaInfo>("PlexaInfo", DISPID_PLEXAINFO,
                                                         "Host information by index")
                .Params("varIndex")
                .Hidden(),
            Method<&C::AboutBox>("AboutBox", DISPID_ABOUTBOX, "Shows the about box"),
        });
    return table;
}

const EventTable& COVBaseMathCtrl::BaseEvents() {
    static const EventTable table(
        nullptr, {kControlOut.Row(), kStatusReady.Row(), kRunBlock.Row(), kInvalidateGroup.Row(),
                  kErrorOut.Row(), kValidateGroup.Row(), kErrorOccurred.Row()});
    return table;
}

COVBaseMathCtrl::COVBaseMathCtrl(int32_t inputCount) {
    m_pInputValid = AllocateTable(inputCount);
    m_nInputs = m_pInputValid ? inputCount : 0;
    m_strErrorString = kNoErrors;
    m_strHostPath = kDefaultHostFolder;
    if (auto path = RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane\\Plexa", "PATH")) {
        m_strHostPath = *path;
    }
    if (m_nInputs != inputCount) {
        m_lStatusCode = E_OUTOFMEMORY;
        m_strErrorString = StatusText(E_OUTOFMEMORY);
        // Nothing is cancelled yet, so ControlOut follows the status events.
        FireStatusEvents(this);
        WriteErrorLog(AmbientDisplayName(), E_OUTOFMEMORY, m_strErrorString);
    }
    SetInitialSize(16, 16);
    m_varInfoTag.Clear();
}

COVBaseMathCtrl::~COVBaseMathCtrl() = default;

// --- common members --------------------------------------------------------

Variant COVBaseMathCtrl::GetControlIn() const {
    return Variant::BoolRaw(static_cast<VARIANT_BOOL>(m_bControlIn));
}

void COVBaseMathCtrl::SetControlIn(const Variant& value) {
    Variant converted;
    if (SUCCEEDED(VariantChangeType(&converted, &value, 0, VT_BOOL))) {
        m_bControlIn = converted.boolVal();
    }
    m_bTriggered = TRUE;
    m_bInputChanged = TRUE;
    SetInputValid(DISPID_CONTROLIN, TRUE);
}

void COVBaseMathCtrl::SetStatusCode(int32_t code) {
    m_lStatusCode = code;
    SetModifiedFlag();
}

void COVBaseMathCtrl::SetInvalidProperty(int32_t dispid) {
    if (dispid == DISPID_CONTROLIN) m_bControlInWired = TRUE;
    SetInputValid(dispid, FALSE);
    m_bWiredMode = TRUE;
}

void COVBaseMathCtrl::SetCancelBlock(int32_t cancel) {
    m_bCancelBlock = cancel;
    SetModifiedFlag();
}

void COVBaseMathCtrl::ShowHelp() {
    ShowHelpTopic(m_strHostPath, m_nHelpContext);
}
void COVBaseMathCtrl::QuickHelp() {
    ShowHelp();
}
BOOL COVBaseMathCtrl::OnHelpInfo() {
    ShowHelp();
    return TRUE;
}
bool COVBaseMathCtrl::ShowPropertyPages() {
    IDesktop* desktop = Desktop();
    HWND owner = desktop != nullptr ? desktop->GetSafeOwner() : nullptr;
    if (owner == nullptr) return false;
    LCID locale = AmbientLocaleID();
    const ControlClassInfo* info = ClassInfo();
    if (info == nullptr) return false;
    HRESULT hr = desktop->OleCreatePropertyFrame(owner, 0, 0, info->userTypeName, this,
                                                 info->pageIds, locale);
    return SUCCEEDED(hr);
}

void COVBaseMathCtrl::AboutBox() {
    if (const ControlClassInfo* info = ClassInfo())
        ShowControlAboutBox(info->userTypeName, info->bitmap);
}

void COVBaseMathCtrl::OnDraw(CDC* pdc, const RECT& rcBounds, const RECT& rcInvalid) {
    // Every block paints the picture its class registers; the base control
    // itself paints nothing.
    if (typeid(*this) == typeid(COVBaseMathCtrl)) return;
    if (const ControlClassInfo* info = ClassInfo())
        DrawBlockBitmap(pdc, rcBounds, rcInvalid, info->bitmap);
}

bool COVBaseMathCtrl::GetPropertyValid(int32_t dispidProperty) {
    int32_t index = GetInputIndex(dispidProperty);
    if (index < 1 || index > m_nInputs) return true;
    return m_pInputValid[index - 1] != FALSE;
}

void COVBaseMathCtrl::SetPropertyValid(int32_t dispidProperty, bool valid) {
    m_bWiredMode = TRUE;
    if (dispidProperty == DISPID_CONTROLIN) {
        m_bControlInWired = TRUE;
        SetInputValid(dispidProperty, valid);
    } else if (dispidProperty == 0) {
        if (valid) {
            RunIfReady();
        } else if (m_lBusy == 0) {
            Fire(kInvalidateGroup, GROUP_BLOCK);
        }
    } else {
        SetInputValid(dispidProperty, valid);
    }
}

Variant COVBaseMathCtrl::GetPlexaInfo(const Variant& varIndex) const {
    Variant index;
    if (FAILED(VariantChangeType(&index, &varIndex, 0, VT_I4))) return Variant();
    switch (index.lVal()) {
        case 1:
        case 2:
            return Variant::I4(240);
        case 3:
        case 4:
        case 7:
            return Variant::Bool(false);
        case 5:
            return Variant::BoolRaw(static_cast<VARIANT_BOOL>(m_bControlInWired));
        case 6:
            return Variant::BoolRaw(static_cast<VARIANT_BOOL>(m_bWiredMode));
        case 8:
            return m_varInfoTag;
        default:
            return Variant();
    }
}

void COVBaseMathCtrl::SetPlexaInfo(const Variant& varIndex, const Variant& value) {
    Variant index;
    if (FAILED(VariantChangeType(&index, &varIndex, 0, VT_I4))) return;
    Variant flag;
    switch (index.lVal()) {
        case 5:
            if (SUCCEEDED(VariantChangeType(&flag, &value, 0, VT_BOOL))) {
                m_bControlInWired = flag.boolVal();
            }
            break;
        case 6:
            if (SUCCEEDED(VariantChangeType(&flag, &value, 0, VT_BOOL))) {
                m_bWiredMode = flag.boolVal();
            }
            break;
        case 8:
            m_varInfoTag = value;
            break;
        default:
            break;
    }
}

// --- trigger protocol ------------------------------------------------------

void COVBaseMathCtrl::ResetBlockState() {
    m_bControlIn = TRUE;
    m_bControlInWired = FALSE;
    m_bWiredMode = FALSE;
    m_lStatusCode = 0;
}

int32_t COVBaseMathCtrl::GetInputIndex(DISPID dispid) {
    if (dispid == DISPID_CONTROLIN) return 1;
    const MemberDesc* member = Members().Find(dispid);
    return member != nullptr ? member->inputSlot : 0;
}

bool COVBaseMathCtrl::AllInputsValid() const {
    for (int32_t i = 0; i < m_nInputs; ++i) {
        if (!m_pInputValid[i]) return false;
    }
    return true;
}

BOOL COVBaseMathCtrl::RunIfReady() {
    if (!AllInputsValid() || !CanRun() || !m_bWiredMode) return FALSE;
    if (++m_lBusy == 1) {
        // Keep the block alive through Compute: a handler of its events may
        // release the host's last reference.
        ComPtr<IDispatch> keepAlive(this);
        Compute();
        m_bInputChanged = FALSE;
        m_bTriggered = FALSE;
    }
    --m_lBusy;
    return TRUE;
}

void COVBaseMathCtrl::SetInputValid(DISPID dispid, BOOL valid) {
    int32_t index = GetInputIndex(dispid);
    if (index < 1 || index > m_nInputs) return;
    m_pInputValid[index - 1] = valid;
    if (!valid) {
        if (m_lBusy != 0) return;
        if (!m_bControlInWired || dispid == DISPID_CONTROLIN) {
            Fire(kInvalidateGroup, GROUP_BLOCK);
        }
        return;
    }
    if (m_bInputChanged && (!m_bControlInWired || m_bTriggered)) {
        RunIfReady();
        return;
    }
    if (m_lBusy != 0 || !AllInputsValid() || !CanRun() || !m_bWiredMode) return;
    Fire(kValidateGroup, GROUP_BLOCK);
}

void COVBaseMathCtrl::NotifyBoundChange(DISPID dispid) {
    if (!AmbientUserMode()) BoundPropertyChanged(dispid);
}

void COVBaseMathCtrl::ClearStatus() {
    m_lStatusCode = 0;
    // Most runs succeed after a success: skip rewriting the same text, and
    // compare with a length known here so that no library call is needed.
    constexpr std::string_view noErrors(kNoErrors);
    const bool unchanged =
        m_strErrorString.size() == noErrors.size() &&
        std::memcmp(m_strErrorString.data(), noErrors.data(), noErrors.size()) == 0;
    if (!unchanged) m_strErrorString = noErrors;
}

// --- result events ---------------------------------------------------------

void COVBaseMathCtrl::ReportStatus(IDispatch* pObject) {
    if (m_lStatusCode < 0) m_strErrorString = StatusText(m_lStatusCode);
    if (m_lStatusCode != 0 && m_errorService.Get() != nullptr) {
        m_errorService.Get()->Report(pObject, m_lStatusCode, m_strErrorString);
    }
}

void COVBaseMathCtrl::FireStatusEvents(IDispatch* pObject) {
    Fire(kErrorOut, pObject, m_lStatusCode, m_strErrorString);
    if (m_lStatusCode != 0) Fire(kErrorOccurred, m_lStatusCode, m_strErrorString);
    Fire(kControlOut);
}

void COVBaseMathCtrl::FireResults(IDispatch* pObject) {
    FireResults(pObject, m_lStatusCode == 0, m_lStatusCode == 0);
}

void COVBaseMathCtrl::FireResults(IDispatch* pObject, bool run, bool ready) {
    ReportStatus(pObject);
    m_bCancelBlock = FALSE;
    if (!HasEventSinks()) return;  // the rest only fires events
    if (run) Fire(kRunBlock);
    if (m_bCancelBlock) {
        Fire(kValidateGroup, GROUP_BLOCK);
        return;
    }
    if (ready) {
        Fire(kStatusReady);
    } else {
        Fire(kValidateGroup, GROUP_FAILED);
    }
    FireStatusEvents(pObject);
}

void COVBaseMathCtrl::FireResultsWithoutRun(IDispatch* pObject) {
    ReportStatus(pObject);
    if (m_bCancelBlock) {
        Fire(kValidateGroup, GROUP_BLOCK);
        return;
    }
    Fire(kStatusReady);
    FireStatusEvents(pObject);
}

void COVBaseMathCtrl::FireBlockEvent(DISPID dispid, std::span<Variant> args) {
    if (!HasEventSinks()) return;
    IRunStateService* runState = m_runState.Get();
    if (runState != nullptr) runState->AddRef();
    FireEvent(dispid, args, [runState] {
        int32_t halted = 0;
        if (runState != nullptr) runState->IsHalted(&halted);
        return halted != 0;
    });
    if (runState != nullptr) runState->Release();
}

// --- persistence -----------------------------------------------------------

void COVBaseMathCtrl::DoPropExchange(CPropExchange* pPX) {
    // The base control alone persists just its own properties, without a version.
    const bool block = &Members() != &BaseMembers();
    if (block) {
        if (!pPX->IsLoading()) m_nExchangedVersion = CONTROL_VERSION;
        ExchangeVersion(pPX, m_nExchangedVersion, CONTROL_VERSION);
    }
    ExchangeBaseProperties(pPX);
    for (const MemberDesc* member : Members().All()) {
        if (member->exchange != nullptr) member->exchange(*this, pPX, *member);
    }
}

void COVBaseMathCtrl::ExchangeBaseProperties(CPropExchange* pPX) {
    if (pPX->IsLoading()) {
        std::string tag;
        PX_String(pPX, "PlexaInfo_tag", tag, std::string());
        int32_t type = VT_BSTR;
        PX_Long(pPX, "PlexaInfo_tag_type", type, VT_BSTR);
        m_varInfoTag = Variant::Str(std::move(tag));
        // A tag that no longer converts to its saved kind stays a string.
        VariantChangeType(&m_varInfoTag, &m_varInfoTag, 0, static_cast<VARTYPE>(type));
        return;
    }
    Variant text;
    if (SUCCEEDED(VariantChangeType(&text, &m_varInfoTag, 0, VT_BSTR))) {
        std::string tag = text.bstrVal();
        PX_String(pPX, "PlexaInfo_tag", tag, std::string());
        int32_t type = m_varInfoTag.vt();
        PX_Long(pPX, "PlexaInfo_tag_type", type, VT_BSTR);
    }
}

void COVBaseMathCtrl::OnResetState() {
    COleControl::OnResetState();
    ResetBlockState();
    m_nHelpContext = Class().helpContext;
    for (const MemberDesc* member : Members().All()) {
        if (member->reset != nullptr) member->reset(*this, *member);
    }
}
