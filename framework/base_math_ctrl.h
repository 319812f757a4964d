#pragma once
// COVBaseMathCtrl: what every block shares. The input validity table and the
// wired-mode trigger protocol decide when a block computes on its own; the
// status code and message describe the last computation; FireResults announces
// it through the common events in their fixed order.
#include <cstdint>
#include <memory>
#include <string>

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

// Group numbers of InvalidateGroup and ValidateGroup.
constexpr int32_t GROUP_BLOCK = 0;   // the block as a whole
constexpr int32_t GROUP_FAILED = 1;  // a failed run

constexpr uint32_t CONTROL_VERSION = 0x00010001;
constexpr int32_t BASE_HELP_CONTEXT = 10000;

class COVBaseMathCtrl : public COleControl {
  public:
    // `inputCount` counts the validity table's entries, ControlIn included.
    // The base control alone has just ControlIn.
    explicit COVBaseMathCtrl(int32_t inputCount = 1);
    ~COVBaseMathCtrl() override;

    static const DispatchTable& BaseMembers();
    static const EventTable& BaseEvents();
    const DispatchTable& Members() const override { return BaseMembers(); }
    const EventTable& Events() const override { return BaseEvents(); }

    // --- common dispatch members ---
    Variant GetControlIn() const;
    void SetControlIn(const Variant& value);
    int32_t GetStatusCode() const { return m_lStatusCode; }
    void SetStatusCode(int32_t code);
    void SetInvalidProperty(int32_t dispid);
    bool GetCancelBlock() const { return m_bCancelBlock != FALSE; }
    void SetCancelBlock(int32_t cancel);
    // Help, property sheet and about box are desktop services; without them
    // these do nothing (ShowPropertyPages reports FALSE).
    void ShowHelp();
    void QuickHelp();
    bool ShowPropertyPages();
    void AboutBox();
    bool GetPropertyValid(int32_t dispidProperty);
    void SetPropertyValid(int32_t dispidProperty, bool valid);
    Variant GetPlexaInfo(const Variant& varIndex) const;
    void SetPlexaInfo(const Variant& varIndex, const Variant& value);

    // The message that goes with the status code.
    const std::string& StatusMessage() const { return m_strErrorString; }
    int32_t HelpContext() const { return m_nHelpContext; }
    const std::string& HostPath() const { return m_strHostPath; }

    // Test hook: makes the validity table's allocation fail, to reach the
    // constructor's out-of-memory road.
    static void FailTableAllocationForTesting(bool fail);

  protected:
    // --- operations blocks build on ---
    virtual void ResetBlockState();
    // Validity-table index of an input DISPID: 1 for ControlIn, 0 for no input.
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
    void FireBlockEvent(DISPID dispid, std::span<Variant> args = {});
    void FireGroupEvent(DISPID dispid, int32_t group);

    void DoPropExchange(CPropExchange* pPX) override;
    void OnResetState() override;

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
};
