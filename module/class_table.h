#pragma once
// The module's creatable classes: one row per control with its fixed class
// identifier, ProgID, coclass name, class name, user type name, toolbox bitmap,
// whether it registers, its factory and its class's tables; and one row per
// property page. Hosts create every block through it; registration, the type
// library and help walk it without creating anything.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ole_control.h"

struct ClassEntry {
    std::string_view clsid;         // "{...}" registry form
    std::string_view progId;        // "TALLYKIT.OVAddCtrl.1"
    std::string_view coclass;       // "OVAdd"; empty for classes the type library omits
    std::string_view className;     // "COVAddCtrl"
    std::string_view userTypeName;  // "OVAdd Control"
    int bitmap;                     // toolbox bitmap resource number
    bool registers;                 // false: reachable only by class identifier
    ComPtr<COleControl> (*factory)();
    const ControlClass* tables;  // the class's kClass: members, events, help context
    // Offered to containers' "insert object" lists as well (a different
    // miscellaneous status, see MiscStatus).
    bool insertable = false;

    // A new instance that knows its class (caption, picture, pages); null when
    // memory runs out.
    ComPtr<COleControl> create() const;
};

// A property-page class. Pages are not created on Linux yet; they exist here
// so that registration writes them and blocks can name them.
struct PageEntry {
    std::string_view clsid;
    std::string_view progId;     // "TALLYKIT.OVAddPropPage.1"
    std::string_view className;  // "COVAddPropPage"
    std::string_view caption;    // registered caption, "OVAdd Property Page"
};

std::span<const ClassEntry> ClassTable();

// The row whose class identifier, ProgID, coclass name or class name is
// `name` (ProgIDs and names compare case-insensitively); null if none.
const ClassEntry* FindClass(std::string_view name);

// Creates an instance of the class with this identifier (the class factory's
// CreateInstance). CLASS_E_CLASSNOTAVAILABLE for an unknown identifier.
HRESULT DllGetClassObject(std::string_view clsid, ComPtr<COleControl>* instance);

constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = HResult(0x80040111);

// --- names -------------------------------------------------------------------

// A control row built from its short name ("OVAdd", "Formula"): ProgID
// "TALLYKIT." + name + "Ctrl.1", class "C" + name + "Ctrl", user type name
// name + " Control", coclass the name itself. `id` is the NNNN of the class
// identifier. The strings live as long as the process.
ClassEntry ControlRow(std::string_view shortName, unsigned id, int bitmap, bool registers,
                      ComPtr<COleControl> (*create)(), const ControlClass& tables);
// The same row without a coclass: the type library leaves the class out.
ClassEntry OutsideTypeLibrary(ClassEntry c);

// The class identifier {5A3C0000-7A11-4B1D-9E2B-00000000NNNN} with NNNN = id.
std::string ModuleGuid(unsigned id);
// The NNNN of such an identifier (its last group); 0 for another form.
unsigned GuidNumber(std::string_view guid);
// A string kept for the life of the process, for rows built at run time.
std::string_view Intern(std::string text);

// The short name a row's class name carries ("COVAddCtrl" gives "OVAdd"),
// or empty when the class name does not have the form "C" + name + "Ctrl".
std::string_view ShortName(const ClassEntry& c);
// Whether each of the row's names is the one ControlRow derives from its class
// name. Two rows keep names of their own: the histogram (the ProgID
// "TALLYKIT.LXHistogramCtrl.1", "Histogram Control") and the FIR filter
// ("TALLYKIT.FIRFilterCtrl", coclass CFIRFilter, "FIR Filter Control").
bool FollowsNamingRule(const ClassEntry& c);

// --- property pages ----------------------------------------------------------

// Every page class: one per control of its own (named after the control's
// class, "COVAddCtrl" gives "COVAddPropPage"), the shared "No Properties"
// page and the second pages of the list-driven blocks.
std::span<const PageEntry> PageTable();
// The page with this class identifier (any case); null when none has it.
const PageEntry* FindPage(std::string_view clsid);
// The pages a control offers, in the order its property sheet shows them.
std::vector<const PageEntry*> PagesOf(const ClassEntry& c);

// --- what the type library and hosts read of a class ---------------------------

struct ClassDescription {
    const DispatchTable* members = nullptr;
    const EventTable* events = nullptr;
    int32_t helpContext = 0;  // of a block, the number its reset sets; 0 otherwise
};
// Read from the row's class tables, without creating an instance.
ClassDescription DescribeClass(const ClassEntry& c);
