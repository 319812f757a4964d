#pragma once
// COVBaseMathCtrl: what every block shares. The input validity table and the
// wired-mode trigger protocol decide when a block computes on its own; the
// status code and message describe the last computation; FireResults announces
// it through the common events in their fixed order.
//
// How a block is declared (SubString, blocks/logic/substring.*, is the model):
//
//   class CSubStringCtrl : public CTextTestCtrl {      // or COVBaseMathCtrl
//     public:
//       CSubStringCtrl();                              // passes its table size: 3
//       static const DispatchTable& SubStringMembers();
//       static const EventTable& SubStringEvents();
//       // its tables and help context, read by its class row without an instance
//       static constexpr ControlClass kClass{&SubStringMembers, &SubStringEvents,
//                                            SUBSTRING_HELP_CONTEXT};
//       const ControlClass& Class() const override { return kClass; }
//       Variant GetInputString() const { return InputString; }
//       void SetInputString(const Variant& v) { PutInput(1, InputString, v); }
//     protected:
//       void Compute() override;                       // ClearStatus, compute, Fire...
//   };
//
// Everything else about a member is one row of its table:
//
//   Property<&C::GetInputString, &C::SetInputString>("InputString", 1, "Text to search in")
//       .Input(2)                                      // validity-table entry
//       .Persist<&C::InputString>("InputString", {VT_BSTR, 0, ""})  // name, kind, default
//       .Reset<&C::InputString>({VT_BSTR, 0, ""}),     // value when new
//
// A field in an array or a nested struct is named by a path
// (`.Persist<&C::m_inputs, 3>`, `.Persist<&C::p_, &Params::rate>`), one stored
// in another unit by a getter and setter (`.Persist<&C::GetPhase, &C::LoadPhase>`).
// Every event is one EventDecl (`kTrueEvent`) whose Row() goes into the
// event table and which Compute fires with `Fire(kTrueEvent)`. From the rows
// the base maps DISPIDs to table entries, persists and resets the members, and
// a reset sets the help context of kClass; a block overrides DoPropExchange or
// OnResetState only for what rows cannot say (a property whose presence
// depends on the version or on another, a value computed at reset). Its class
// row in module/ (`ControlRow<CSubStringCtrl>(...)`) names it for the factory,
// the type library and the host.
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/ole_control.h"
#include "platform/services.h"

// DISPIDs of the members every block has.
constexpr DISPID DISPID_CONTROLIN = 0x10001;
constexpr DISPID DISPID_STATUSCODE = 0x10002;
constexpr DISPID DISPID_INVALIDPROPERTY = 0x10003;
constexpr DISPID DISPID_CANCELBLOCK = 0x10004;
constexpr DISPID DISPID_SHOWHELP = 0x10005;
constexpr DISPID DISPID_QUICKHELP = 0x10006;
constexpr DISPID DISPID_SHOWPROPERTYPAGES = 0x10007;
constexpr DISPID DISPID_PROPERTYVALID = 0x10008;
constexpr DISPID DISPID_PLEXAINFO = 0x10009;

// DISPIDs of the events every block has; a block's own events start at 6.
constexpr DISPID EVENTID_CONTROLOUT = 1;
constexpr DISPID EVENTID_STATUSREADY = 2;
constexpr DISPID EVENTID_RUNBLOCK = 3;
constexpr DISPID EVENTID_INVALIDATEGROUP = 4;
constexpr DISPID EVENTID_ERROROUT = 5;
constexpr DISPID EVENTID_VALIDATEGROUP = 100;
constexpr DISPID EVENTID_ERROROCCURRED = 101;

// The events every block has, each declared once with its signature.
inline constexpr EventDecl<> kControlOut{
    "ControlOut", EVENTID_CONTROLOUT, {}, "The run is complete"};
inline constexpr EventDecl<> kStatusReady{
    "StatusReady", EVENTID_STATUSREADY, {}, "The outputs are ready"};
inline constexpr EventDecl<> kRunBlock{
    "RunBlock", EVENTID_RUNBLOCK, {}, "A run succeeded; a handler may cancel it"};
inline constexpr EventDecl<int32_t> kInvalidateGroup{"InvalidateGroup",
                                                     EVENTID_INVALIDATEGROUP,
                                                     {"nGroup"},
                                                     "An output group carries nothing valid"};
inline constexpr EventDecl<IDispatch*, int32_t, std::string> kErrorOut{
    "ErrorOut",
    EVENTID_ERROROUT,
    {"pObject", "nErrorCode", "bstrErrorString"},
    "Status of every run"};
inline constexpr EventDecl<int32_t> kValidateGroup{
    "ValidateGroup", EVENTID_VALIDATEGROUP, {"nGroup"}, "An output group got no new data"};
inline constexpr EventDecl<int32_t, std::string> kErrorOccurred{
    "ErrorOccurred", EVENTID_ERROROCCURRED, {"nErrorCode", "bstrErrorString"}, "A run failed"};

// Group numbers of InvalidateGroup and ValidateGroup.
constexpr int32_t GROUP_BLOCK = 0;   // the block as a whole
constexpr int32_t GROUP_FAILED = 1;  // a failed run

constexpr uint32_t CONTROL_VERSION = 0x00010001;
constexpr int32_t BASE_HELP_CONTEXT = 10000;

class COVBaseMathCtrl : public COleControl {
  public:
    // `inputCount` counts the validity table's entries, ControlIn included.
    // The base control alone has just ControlIn. A table that memory, or the
    // array budget (ArrayByteLimit), cannot hold leaves the block without one:
    // status E_OUTOFMEMORY, logged, and every input counting as valid.
    explicit COVBaseMathCtrl(int32_t inputCount = 1);
    ~COVBaseMathCtrl() override;

    static const DispatchTable& BaseMembers();
    static const EventTable& BaseEvents();
    static constexpr ControlClass kClass{&BaseMembers, &BaseEvents, BASE_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    // --- common dispatch members ---
    Variant GetControlIn() const;
    void SetControlIn(const Variant& value);
    int32_t GetStatusCode() const { return m_lStatusCode; }
    void SetStatusCode(int32_t code);
    void SetInvalidProperty(int32_t dispid);
    bool GetCancelBlock() const { return m_bCancelBlock != FALSE; }
    void SetCancelBlock(int32_t cancel);
    // Help, property sheet, about box and picture are desktop services (the
    // help viewer library, the installed IDesktop); without them these do
    // nothing and ShowPropertyPages reports FALSE. The caption, picture and
    // pages come from the class factory (framework/block_help.h).
    void ShowHelp();
    void QuickHelp();
    bool ShowPropertyPages();
    void AboutBox();
    // F1 on the block opens its help topic.
    BOOL OnHelpInfo() override;
    void OnDraw(CDC* pdc, const RECT& rcBounds, const RECT& rcInvalid) override;
    bool GetPropertyValid(int32_t dispidProperty);
    void SetPropertyValid(int32_t dispidProperty, bool valid);
    Variant GetPlexaInfo(const Variant& varIndex) const;
    void SetPlexaInfo(const Variant& varIndex, const Variant& value);

    // The message that goes with the status code.
    const std::string& StatusMessage() const { return m_strErrorString; }
    int32_t HelpContext() const { return m_nHelpContext; }
    const std::string& HostPath() const { return m_strHostPath; }

  protected:
    // --- operations blocks build on ---
    virtual void ResetBlockState();
    // Validity-table index of an input DISPID: 1 for ControlIn, the member
    // row's input slot for a block's own inputs, 0 for no input.
    virtual int32_t GetInputIndex(DISPID dispid);
    virtual void Compute() {}
    BOOL RunIfReady();
    // Blocks compute only in run mode; the base itself always may.
    virtual BOOL CanRun() { return TRUE; }

    void SetInputValid(DISPID dispid, BOOL valid);
    void NotifyBoundChange(DISPID dispid);
    // The put handler of an output or a setting: store and mark modified.
    template <class Field, class Value>
    void PutSetting(Field& field, const Value& value) {
        field = value;
        SetModifiedFlag();
    }
    // The same for a setting whose put also gives the bound-change notice.
    template <class Field, class Value>
    void PutBoundSetting(DISPID dispid, Field& field, const Value& value) {
        PutSetting(field, value);
        NotifyBoundChange(dispid);
    }
    // The put handler of an input property (a value or a plain number): store
    // a copy, mark modified, give the bound-change notice, note the change and
    // mark the input valid (which may run the block).
    template <class Field, class Value>
    void PutInput(DISPID dispid, Field& field, const Value& value) {
        PutBoundSetting(dispid, field, value);
        m_bInputChanged = TRUE;
        SetInputValid(dispid, TRUE);
    }
    // Starts a computation: status 0, "No Errors".
    void ClearStatus();

    void FireResults(IDispatch* pObject);
    // FireResults with RunBlock when `run` and StatusReady when `ready` instead
    // of both only on success, for blocks that still deliver a value on some
    // failures.
    void FireResults(IDispatch* pObject, bool run, bool ready);
    void FireResultsWithoutRun(IDispatch* pObject);
    // The message lookup and error-service report that open both FireResults.
    void ReportStatus(IDispatch* pObject);
    // Fires ErrorOut, ErrorOccurred (nonzero code) and ControlOut.
    void FireStatusEvents(IDispatch* pObject);
    // Delivers one event, asking the run-state service before each sink.
    template <class... Args>
    void Fire(const EventDecl<Args...>& event, std::type_identity_t<Args>... args) {
        if (!HasEventSinks()) return;  // spare building arguments nobody receives
        if constexpr (sizeof...(Args) == 0) {
            FireBlockEvent(event.dispid);
        } else {
            Variant values[] = {dispatch_detail::Result(args)...};
            FireBlockEvent(event.dispid, values);
        }
    }
    // The untyped delivery under Fire.
    void FireBlockEvent(DISPID dispid, std::span<Variant> args = {});

    // A block's exchange: the control version, the base's properties, then
    // every member whose row declares it persisted, in table order. A block
    // overrides it only for what its rows cannot say, calling this first.
    void DoPropExchange(CPropExchange* pPX) override;
    // The platform's reset, ResetBlockState, then every member row's reset
    // value. A block overrides it for the rest, calling this first.
    void OnResetState() override;
    // The control version the last exchange read or wrote.
    uint32_t ExchangedVersion() const { return m_nExchangedVersion; }

    // --- fields, in the order of the block base ---
    int32_t m_nInputs = 0;
    std::unique_ptr<BOOL[]> m_pInputValid;
    BOOL m_bWiredMode = FALSE;
    int32_t m_lStatusCode = 0;
    std::string m_strErrorString;
    BOOL m_bControlIn = TRUE;
    BOOL m_bControlInWired = FALSE;
    BOOL m_bCancelBlock = FALSE;
    int32_t m_nHelpContext = BASE_HELP_CONTEXT;
    std::string m_strHostPath;
    int32_t m_lBusy = 0;  // one UI thread: a plain counter is the interlocked one
    ErrorServiceRef m_errorService;
    BOOL m_bInputChanged = FALSE;
    BOOL m_bTriggered = FALSE;
    Variant m_varInfoTag;
    RunStateServiceRef m_runState;

  private:
    bool AllInputsValid() const;
    void ExchangeBaseProperties(CPropExchange* pPX);

    uint32_t m_nExchangedVersion = CONTROL_VERSION;
};
