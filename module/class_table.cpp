#include "module/class_table.h"

#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "framework/base_math_ctrl.h"
#include "module/class_families.h"

std::span<const ClassEntry> ClassTable() {
    // Families keep their rows beside each other; the table is their union.
    static const std::vector<ClassEntry> table = [] {
        std::vector<ClassEntry> rows;
        for (auto family :
             {BaseClasses(), ArithmeticClasses(), ComparisonClasses(), LogicClasses(),
              DecisionClasses(), FormulaClasses(), ArrayClasses(), SignalSourceClasses(),
              SpectralClasses(), RoutingClasses(), PlaceholderClasses()}) {
            rows.insert(rows.end(), family.begin(), family.end());
        }
        return rows;
    }();
    return table;
}

const ClassEntry* FindClass(std::string_view name) {
    for (const ClassEntry& c : ClassTable()) {
        if (NamesEqual(c.clsid, name) || NamesEqual(c.progId, name) ||
            (!c.coclass.empty() && NamesEqual(c.coclass, name)) || NamesEqual(c.className, name)) {
            return &c;
        }
    }
    return nullptr;
}

HRESULT DllGetClassObject(std::string_view clsid, ComPtr<COleControl>* instance) {
    for (const ClassEntry& c : ClassTable()) {
        if (NamesEqual(c.clsid, clsid)) {
            *instance = c.create();
            return *instance ? S_OK : E_OUTOFMEMORY;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

// --- names -------------------------------------------------------------------

std::string_view Intern(std::string text) {
    // A deque never moves its elements, so the views stay valid.
    static std::deque<std::string> pool;
    static std::mutex guard;
    std::lock_guard lock(guard);
    return pool.emplace_back(std::move(text));
}

std::string ModuleGuid(unsigned id) {
    char text[40];
    std::snprintf(text, sizeof text, "{5A3C0000-7A11-4B1D-9E2B-%012X}", id);
    return text;
}

unsigned GuidNumber(std::string_view guid) {
    unsigned id = 0;
    if (guid.size() >= 14)
        std::sscanf(std::string(guid.substr(guid.size() - 13)).c_str(), "%X", &id);
    return id;
}

ClassEntry ControlRow(std::string_view shortName, unsigned id, int bitmap, bool registers,
                      ComPtr<COleControl> (*create)(), const ControlClass& tables) {
    std::string name(shortName);
    return ClassEntry{Intern(ModuleGuid(id)),
                      Intern("TALLYKIT." + name + "Ctrl.1"),
                      Intern(name),
                      Intern("C" + name + "Ctrl"),
                      Intern(name + " Control"),
                      bitmap,
                      registers,
                      create,
                      &tables};
}

ClassEntry OutsideTypeLibrary(ClassEntry c) {
    c.coclass = {};
    return c;
}

std::string_view ShortName(const ClassEntry& c) {
    std::string_view name = c.className;
    if (name.size() <= 5 || !name.starts_with("C") || !name.ends_with("Ctrl")) return {};
    return name.substr(1, name.size() - 5);
}

bool FollowsNamingRule(const ClassEntry& c) {
    std::string name(ShortName(c));
    return !name.empty() && c.progId == "TALLYKIT." + name + "Ctrl.1" &&
           c.userTypeName == name + " Control" && (c.coclass.empty() || c.coclass == name);
}

// --- property pages ----------------------------------------------------------

namespace {

// Pages that do not follow from one control's name: each names the controls
// that list it and whether it takes the place of their own page.
struct SharedPage {
    PageEntry page;
    std::string_view users[2];
    bool replacesOwn;
};
const SharedPage kSharedPages[] = {
    {{"{5A3C0000-7A11-4B1D-9E2B-0000000001F0}", "TALLYKIT.NOPPropPage.1", "CNOPPropPage",
      "NOP Property Page"},
     {"CFFTCtrl", "CStatisticsCtrl"},
     true},
    {{"{5A3C0000-7A11-4B1D-9E2B-0000000001F1}", "TALLYKIT.OVSwitchListPropPage.1",
      "COVSwitchListPropPage", "OVSwitchList Property Page"},
     {"COVSwitchCtrl"},
     false},
    {{"{5A3C0000-7A11-4B1D-9E2B-0000000001F2}", "TALLYKIT.OVLookupListPropPage.1",
      "COVLookupListPropPage", "OVLookupList Property Page"},
     {"COVLookupCtrl"},
     false},
};

// Page ProgIDs that are not "TALLYKIT." + name + "PropPage.1".
struct PageProgId {
    std::string_view className;
    std::string_view progId;
};
constexpr PageProgId kPageProgIds[] = {
    {"CFIRFilterPropPage", "ovLab.FIRFilterPropPage.1"},
};

bool UsesSharedPage(const ClassEntry& c, bool replacing) {
    for (const SharedPage& s : kSharedPages) {
        for (std::string_view user : s.users) {
            if (user == c.className && s.replacesOwn == replacing) return true;
        }
    }
    return false;
}

// A control's own page: its identifier is the control's plus 0x100.
PageEntry OwnPage(const ClassEntry& c) {
    std::string name(ShortName(c));
    std::string className = "C" + name + "PropPage";
    std::string progId = "TALLYKIT." + name + "PropPage.1";
    for (const PageProgId& p : kPageProgIds) {
        if (p.className == className) progId = p.progId;
    }
    return PageEntry{Intern(ModuleGuid(GuidNumber(c.clsid) + 0x100)), Intern(progId),
                     Intern(className), Intern(name + " Property Page")};
}

}  // namespace

std::span<const PageEntry> PageTable() {
    static const std::vector<PageEntry> table = [] {
        std::vector<PageEntry> pages;
        for (const ClassEntry& c : ClassTable()) {
            if (!UsesSharedPage(c, true) && !ShortName(c).empty()) pages.push_back(OwnPage(c));
        }
        for (const SharedPage& s : kSharedPages)
            pages.push_back(s.page);
        return pages;
    }();
    return table;
}

const PageEntry* FindPage(std::string_view clsid) {
    for (const PageEntry& p : PageTable()) {
        if (NamesEqual(p.clsid, clsid)) return &p;
    }
    return nullptr;
}

std::vector<const PageEntry*> PagesOf(const ClassEntry& c) {
    std::vector<std::string> names;
    if (!UsesSharedPage(c, true)) names.push_back("C" + std::string(ShortName(c)) + "PropPage");
    for (const SharedPage& s : kSharedPages) {
        for (std::string_view user : s.users) {
            if (user == c.className) names.emplace_back(s.page.className);
        }
    }
    std::vector<const PageEntry*> pages;
    for (const std::string& name : names) {
        for (const PageEntry& p : PageTable()) {
            if (p.className == name) pages.push_back(&p);
        }
    }
    return pages;
}

// --- instances -----------------------------------------------------------------

namespace {

// What a control learns of its class, one per row, built once for the whole
// table when the first instance is made, so creating a block takes no lock.
struct ClassFacts {
    std::vector<std::string> pageIds;
    std::vector<std::string_view> pageClasses;
    ControlClassInfo info;
};

const ControlClassInfo* FactsOf(const ClassEntry& c) {
    static const std::map<std::string_view, ClassFacts> facts = [] {
        std::map<std::string_view, ClassFacts> all;
        for (const ClassEntry& row : ClassTable()) {
            ClassFacts& f = all[row.clsid];
            for (const PageEntry* page : PagesOf(row)) {
                f.pageIds.emplace_back(page->clsid);
                f.pageClasses.push_back(page->className);
            }
            f.info = {row.userTypeName, row.bitmap, f.pageIds, f.pageClasses};
        }
        return all;  // moving a map keeps its elements, so the spans stay valid
    }();
    auto it = facts.find(c.clsid);
    return it != facts.end() ? &it->second.info : nullptr;
}

}  // namespace

ComPtr<COleControl> ClassEntry::create() const {
    ComPtr<COleControl> control = factory();
    if (control) control->SetClassInfo(FactsOf(*this));
    return control;
}

// --- descriptions --------------------------------------------------------------

ClassDescription DescribeClass(const ClassEntry& c) {
    return {&c.tables->members(), &c.tables->events(), c.tables->helpContext};
}
