// What the host prints about classes, objects, commands and statuses.
#include <algorithm>
#include <ostream>

#include "formula/math_formula.h"
#include "framework/base_math_ctrl.h"
#include "host/script_object.h"
#include "module/class_table.h"
#include "platform/value_text.h"

void ScriptHost::Run(const HelpCommand& c, const Command& cmd, const Frame&) {
    if (c.topic.empty()) {
        PrintCommands(out_);
        out_ << '\n';
        PrintValueSyntax(out_);
        return;
    }
    auto it = objects_.find(c.topic);
    if (it != objects_.end()) {
        const COleControl& control = *it->second->control;
        PrintMembers(out_, control.GetTypeInfo(), control.GetEventInfo());
        return;
    }
    const ClassEntry* entry = FindClass(c.topic);
    if (entry == nullptr) {
        Diagnose(cmd, "help: no object or class `" + c.topic + "`");
        return;
    }
    const ClassDescription d = DescribeClass(*entry);
    PrintMembers(out_, d.members, d.events);
}

void ScriptHost::Run(const StatusCommand& c, const Command& cmd, const Frame&) {
    Object* object = Find(c.object, cmd);
    if (object == nullptr) return;
    auto* block = dynamic_cast<COVBaseMathCtrl*>(object->control.Get());
    if (block == nullptr) {
        Diagnose(cmd, object->Label() + " keeps no status");
        return;
    }
    const int32_t code = block->GetStatusCode();
    out_ << c.object << ": status " << Hex(code) << " (" << code << ") "
         << Format(Variant::Str(block->StatusMessage())).substr(5) << '\n';
    if (code == 0) return;
    // A formula block: the engine's message, and where in a formula that does
    // not parse the engine stopped.
    Variant formula;
    DISPID dispid = DISPID_UNKNOWN;
    if (FAILED(object->control->GetIDsOfNames("Formula", &dispid)) ||
        FAILED(object->control->Invoke(dispid, DISPATCH_PROPERTYGET, {}, &formula)) ||
        formula.vt() != VT_BSTR) {
        return;
    }
    CMathFormula parser;
    parser.Parse(formula.bstrVal());
    if (parser.GetErrorCode() != 0) {
        out_ << "  the formula says: " << parser.GetErrorMessage() << " (column "
             << parser.GetErrorStart() + 1 << ")\n  " << Format(formula).substr(5) << '\n'
             << std::string(3 + static_cast<size_t>(parser.GetErrorStart()), ' ') << "^\n";
        return;
    }
    // An evaluation error: the engine's own words for the code.
    for (const FormulaErrorInfo& row : kFormulaErrors) {
        if (row.code == code) {
            out_ << "  the formula says: " << row.message << '\n';
            return;
        }
    }
}

void ScriptHost::Run(const NotesCommand& c, const Command&, const Frame&) {
    notesOn_ = c.on;
}

std::vector<std::string> ScriptHost::Completions(std::string_view line,
                                                 std::string_view word) const {
    std::vector<std::string> found;
    auto offer = [&](std::string_view candidate) {
        if (!candidate.empty() && candidate.size() >= word.size() &&
            NamesEqual(candidate.substr(0, word.size()), word)) {
            found.emplace_back(candidate);
        }
    };
    const bool firstWord = line.find_first_not_of(" \t") == std::string_view::npos;
    const size_t dot = word.find('.');
    if (firstWord) {
        for (const CommandSyntax& c : CommandTable())
            offer(c.keyword);
    } else if (dot != std::string_view::npos) {
        auto it = objects_.find(std::string(word.substr(0, dot)));
        if (it == objects_.end()) return found;
        const std::string prefix(word.substr(0, dot + 1));
        word.remove_prefix(dot + 1);
        const COleControl& control = *it->second->control;
        if (const DispatchTable* members = control.GetTypeInfo()) {
            for (const MemberDesc* m : members->All())
                offer(m->name);
        }
        if (const EventTable* events = control.GetEventInfo()) {
            for (const EventDesc* e : events->All())
                offer(e->name);
        }
        for (std::string& name : found)
            name.insert(0, prefix);
    } else {
        for (const auto& [name, object] : objects_)
            offer(name);
        for (const ClassEntry& c : ClassTable()) {
            offer(c.progId);
            offer(c.coclass);
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

// --- listings ---------------------------------------------------------------

void PrintClasses(std::ostream& out) {
    size_t progWidth = 6, coclassWidth = 7, classWidth = 5;
    for (const ClassEntry& c : ClassTable()) {
        progWidth = std::max(progWidth, c.progId.size());
        coclassWidth = std::max(coclassWidth, c.coclass.size());
        classWidth = std::max(classWidth, c.className.size());
    }
    auto row = [&](std::string_view prog, std::string_view coclass, std::string_view cls,
                   std::string_view registers) {
        out << prog << std::string(progWidth + 2 - prog.size(), ' ') << coclass
            << std::string(coclassWidth + 2 - coclass.size(), ' ') << cls
            << std::string(classWidth + 2 - cls.size(), ' ') << registers << '\n';
    };
    row("ProgID", "coclass", "class", "registers");
    for (const ClassEntry& c : ClassTable()) {
        row(c.progId, Or(c.coclass, "-"), c.className, c.registers ? "yes" : "no");
    }
}

void PrintCommands(std::ostream& out) {
    for (const CommandSyntax& c : CommandTable()) {
        out << "  " << c.usage << "\n      " << c.summary << '\n';
    }
}

void PrintValueSyntax(std::ostream& out) {
    out << "Values: empty, null, i1 -3, ui1 200, i2 5, ui2 5, i4 5, ui4 5, int 5, uint 5,\n"
           "r4 1.5, r8 2.5, cy 1.25, date 45000.5, bool true, bstr \"text\", error 0x80020004,\n"
           "dispatch OBJ, arrays r8[1, 2], r8@5[1, 2], r8[[1, 2], [3, 4]]; untyped 5 (i4),\n"
           "2.5 (r8), \"x\" (bstr), true/false (bool), nan, inf, -inf (r8). In place of a\n"
           "value: $N (argument N of the event being handled), $NAME (a for variable),\n"
           "OTHER.MEMBER (its value), csv FILE COLUMN (a CSV column as an array), or the\n"
           "name of an enumeration value where the member has one (help CLASS lists them).\n";
}

void PrintMembers(std::ostream& out, const DispatchTable* members, const EventTable* events) {
    auto params = [](std::span<const VARTYPE> types, std::span<const std::string_view> names) {
        std::string text = "(";
        for (size_t i = 0; i < types.size(); ++i) {
            text += (i ? ", " : "") +
                    std::string(i < names.size() && !names[i].empty() ? names[i] : "arg") + ": " +
                    std::string(VarTypeName(types[i]));
        }
        return text + ")";
    };
    if (members != nullptr) {
        for (const MemberDesc* m : members->All()) {
            bool method = m->kind == MemberKind::Method;
            std::string line = method ? "  method " : "  property ";
            line += m->name;
            std::span<const VARTYPE> types(m->paramTypes.data(), m->paramCount);
            if (method || m->paramCount != 0) line += params(types, m->paramNames);
            if (m->type != VT_EMPTY) line += ": " + std::string(VarTypeName(m->type));
            if (!method && m->get == nullptr) line += ", write-only";
            if (!method && m->put == nullptr) line += ", read-only";
            if (m->hidden) line += ", hidden";
            out << line << "  -- " << m->help << '\n';
            if (m->enumeration != nullptr) {
                std::string names = "      " + std::string(m->enumeration->name) + ":";
                for (const EnumValue& v : m->enumeration->values)
                    names += " " + std::string(v.name) + " = " + std::to_string(v.value) + ",";
                names.pop_back();
                out << names << '\n';
            }
        }
    }
    if (events != nullptr) {
        for (const EventDesc* e : events->All()) {
            out << "  event " << e->name << params(e->paramTypes, e->paramNames) << "  -- "
                << e->help << '\n';
        }
    }
}
