#include "module/type_library.h"

#include <cstdio>
#include <set>

#include "platform/events.h"

namespace {

// The FIR filter's filter and window kinds under the module's own prefix.
constexpr EnumValue kFilterTypeValues[] = {
    {"ovLowPass", 0}, {"ovHighPass", 1}, {"ovBandPass", 2}, {"ovBandStop", 3}};
constexpr EnumValue kWindowTypeValues[] = {{"ovRectangle", 0}, {"ovParzen", 1}, {"ovBartlett", 2},
                                           {"ovHanning", 3},   {"ovWelch", 4},  {"ovHamming", 5},
                                           {"ovBlackman", 6}};
constexpr EnumDesc kFilterType{"FILTER_TYPE", kFilterTypeValues};
constexpr EnumDesc kWindowType{"WINDOW_TYPE", kWindowTypeValues};
// The same kinds under the names the FIR filter's help strings use; should the
// filter's own members carry these enumerations, theirs come first.
constexpr EnumValue kFirFilterTypeValues[] = {{"FIR_FILTER_LOW_PASS", 0},
                                              {"FIR_FILTER_HIGH_PASS", 1},
                                              {"FIR_FILTER_BAND_PASS", 2},
                                              {"FIR_FILTER_BAND_STOP", 3}};
constexpr EnumValue kDigitalWindowValues[] = {
    {"DIGITAL_WINDOW_RECTANGLE", 0}, {"DIGITAL_WINDOW_PARZEN", 1}, {"DIGITAL_WINDOW_BARTLETT", 2},
    {"DIGITAL_WINDOW_HANNING", 3},   {"DIGITAL_WINDOW_WELCH", 4},  {"DIGITAL_WINDOW_HAMMING", 5},
    {"DIGITAL_WINDOW_BLACKMAN", 6}};
constexpr EnumDesc kFirFilterType{"FIR_FILTER_TYPE", kFirFilterTypeValues};
constexpr EnumDesc kDigitalWindow{"DIGITAL_WINDOW", kDigitalWindowValues};
// The options of the analysis module's matrix product and complex arithmetic,
// declared for callers of those functions; no block property takes them.
constexpr EnumValue kMatrixMultiplyValues[] = {{"MATRIX_MULTIPLY_PRODUCT", 0},
                                               {"MATRIX_MULTIPLY_ELEMENTWISE", 1}};
constexpr EnumValue kComplexOpValues[] = {{"COMPLEX_OP_ADD", 0},       {"COMPLEX_OP_SUBTRACT", 1},
                                          {"COMPLEX_OP_MULTIPLY", 2},  {"COMPLEX_OP_DIVIDE", 3},
                                          {"COMPLEX_OP_CONJUGATE", 4}, {"COMPLEX_OP_MAGNITUDE", 5},
                                          {"COMPLEX_OP_PHASE", 6}};
constexpr EnumDesc kMatrixMultiply{"MATRIX_MULTIPLY", kMatrixMultiplyValues};
constexpr EnumDesc kComplexOp{"COMPLEX_OP", kComplexOpValues};
constexpr const EnumDesc* kModuleEnumerations[] = {&kFilterType, &kWindowType,    &kMatrixMultiply,
                                                   &kComplexOp,  &kDigitalWindow, &kFirFilterType};

constexpr std::string_view kMathAnalysis[] = {
    "ovmShellSort",       "ovmStatistics",   "ovmInterpolate",    "ovmMatrixInvert",
    "ovmMatrixTranspose", "ovmMatrixAddSum", "ovmMatrixMultiply", "ovmCurveFit",
    "ovmComplexOp",       "ovmIntegrate",    "ovmDifferentiate",  "ovmComplexFFT",
    "ovmRealFFT",         "ovmRealFFTMag",   "ovmWindowData",     "ovmRealPowerSpectrum",
    "ovmConvolution",     "ovmCorrelation"};

std::string_view IdlType(VARTYPE vt, const EnumDesc* e = nullptr) {
    if (e != nullptr) return e->name;
    switch (vt) {
        case VT_EMPTY:
            return "void";
        case VT_BOOL:
            return "VARIANT_BOOL";
        case VT_I2:
            return "short";
        case VT_I4:
            return "long";
        case VT_R4:
            return "float";
        case VT_R8:
            return "double";
        case VT_BSTR:
            return "BSTR";
        case VT_DISPATCH:
            return "IDispatch*";
        default:
            return "VARIANT";
    }
}

std::string IdText(DISPID id) {
    char text[16];
    std::snprintf(text, sizeof text, id >= 0x10000 ? "0x%X" : "%d", id);
    return text;
}

// A string literal of IDL: quotes and backslashes escaped.
std::string Literal(std::string_view text) {
    std::string quoted = "\"";
    for (char ch : text) {
        if (ch == '"' || ch == '\\') quoted += '\\';
        quoted += ch;
    }
    return quoted + "\"";
}

std::string Bare(std::string_view guid) {  // IDL writes identifiers without braces
    return std::string(guid.substr(1, guid.size() - 2));
}

// A property that IDL can state as a plain field: read and write, one type, no
// parameters, nothing hidden on one side only.
bool IsPlainProperty(const MemberDesc& m) {
    return m.kind == MemberKind::Property && m.get != nullptr && m.put != nullptr &&
           m.paramCount == 0 && m.type == m.putType && !m.hiddenPut;
}

std::string Attributes(const MemberDesc& m, std::string_view role, bool hidden) {
    std::string text = "[id(" + IdText(m.dispid) + ")";
    if (!role.empty()) text += ", " + std::string(role);
    if (hidden) text += ", hidden";
    if (!m.help.empty()) text += ", helpstring(" + Literal(m.help) + ")";
    return text + "]";
}

std::string Parameters(std::span<const VARTYPE> types, std::span<const std::string_view> names) {
    std::string text;
    for (size_t i = 0; i < types.size(); ++i) {
        if (i) text += ", ";
        text += std::string(IdlType(types[i])) + " " +
                (i < names.size() && !names[i].empty() ? std::string(names[i])
                                                       : "arg" + std::to_string(i + 1));
    }
    return text;
}

void WriteDispatchInterface(std::ostream& out, const ClassEntry& c, const DispatchTable& members) {
    out << "\t[ uuid(" << Bare(DispatchInterfaceId(c))
        << "),\n\t  helpstring(\"Dispatch interface for " << c.userTypeName
        << "\"), hidden ]\n\tdispinterface _D" << c.coclass << "\n\t{\n"
        << "\t\tproperties:\n";
    for (const MemberDesc* m : members.All()) {
        if (IsPlainProperty(*m)) {
            out << "\t\t\t" << Attributes(*m, "", m->hidden) << " "
                << IdlType(m->type, m->enumeration) << " " << m->name << ";\n";
        }
    }
    out << "\t\tmethods:\n";
    for (const MemberDesc* m : members.All()) {
        if (IsPlainProperty(*m)) continue;
        std::span<const VARTYPE> types(m->paramTypes.data(), m->paramCount);
        std::span<const std::string_view> names(m->paramNames.data(), m->paramCount);
        std::string params = Parameters(types, names);
        if (m->kind == MemberKind::Method) {
            out << "\t\t\t" << Attributes(*m, "", m->hidden) << " " << IdlType(m->type) << " "
                << m->name << "(" << params << ");\n";
            continue;
        }
        if (m->get != nullptr) {
            out << "\t\t\t" << Attributes(*m, "propget", m->hidden) << " "
                << IdlType(m->type, m->enumeration) << " " << m->name << "(" << params << ");\n";
        }
        if (m->put != nullptr) {
            out << "\t\t\t" << Attributes(*m, "propput", m->hidden || m->hiddenPut) << " void "
                << m->name << "(" << params << (params.empty() ? "" : ", ")
                << IdlType(m->putType, m->enumeration) << " newValue);\n";
        }
    }
    out << "\t};\n\n";
}

void WriteEventInterface(std::ostream& out, const ClassEntry& c, const EventTable& events) {
    out << "\t[ uuid(" << Bare(EventInterfaceId(c)) << "),\n\t  helpstring(\"Event interface for "
        << c.userTypeName << "\") ]\n\tdispinterface _D" << c.coclass << "Events\n\t{\n"
        << "\t\tproperties:\n\t\tmethods:\n";
    for (const EventDesc* e : events.All()) {
        out << "\t\t\t[id(" << IdText(e->dispid) << ")";
        if (!e->help.empty()) out << ", helpstring(" << Literal(e->help) << ")";
        out << "] void " << e->name << "(" << Parameters(e->paramTypes, e->paramNames) << ");\n";
    }
    out << "\t};\n\n";
}

void WriteEnumIdl(std::ostream& out, const EnumDesc& e) {
    out << "\ttypedef enum {\n";
    for (size_t i = 0; i < e.values.size(); ++i) {
        out << "\t\t" << e.values[i].name << " = " << e.values[i].value
            << (i + 1 < e.values.size() ? ",\n" : "\n");
    }
    out << "\t} " << e.name << ";\n\n";
}

// --- JSON ----------------------------------------------------------------------

std::string Quoted(std::string_view text) {
    std::string q = "\"";
    for (char ch : text) {
        auto byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            q += '\\';
            q += ch;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            q += escape;
        } else {
            q += ch;
        }
    }
    return q + "\"";
}

std::string JsonParams(std::span<const VARTYPE> types, std::span<const std::string_view> names) {
    std::string text = "[";
    for (size_t i = 0; i < types.size(); ++i) {
        text += std::string(i ? "," : "") +
                "{\"name\":" + Quoted(i < names.size() ? names[i] : std::string_view()) +
                ",\"type\":" + Quoted(IdlType(types[i])) + "}";
    }
    return text + "]";
}

void WriteMemberJson(std::ostream& out, const MemberDesc& m) {
    out << "{\"name\":" << Quoted(m.name) << ",\"dispid\":" << m.dispid << ",\"kind\":\""
        << (m.kind == MemberKind::Method ? "method" : "property")
        << "\",\"type\":" << Quoted(IdlType(m.type))
        << ",\"putType\":" << Quoted(IdlType(m.putType)) << ",\"params\":"
        << JsonParams({m.paramTypes.data(), m.paramCount}, {m.paramNames.data(), m.paramCount})
        << ",\"get\":" << (m.get != nullptr ? "true" : "false")
        << ",\"put\":" << (m.put != nullptr ? "true" : "false")
        << ",\"hidden\":" << (m.hidden ? "true" : "false")
        << ",\"hiddenPut\":" << (m.hiddenPut ? "true" : "false")
        << ",\"enum\":" << (m.enumeration != nullptr ? Quoted(m.enumeration->name) : "null")
        << ",\"help\":" << Quoted(m.help) << "}";
}

void WriteEventJson(std::ostream& out, const EventDesc& e) {
    out << "{\"name\":" << Quoted(e.name) << ",\"dispid\":" << e.dispid
        << ",\"params\":" << JsonParams(e.paramTypes, e.paramNames)
        << ",\"help\":" << Quoted(e.help) << "}";
}

template <class Items, class Write>
void WriteList(std::ostream& out, const Items& items, Write write) {
    out << "[";
    bool first = true;
    for (const auto& item : items) {
        if (!first) out << ",";
        first = false;
        out << "\n";
        write(item);
    }
    out << "]";
}

}  // namespace

const TypeLibraryInfo& TypeLibrary() {
    static const TypeLibraryInfo info{.libid = ModuleGuid(0x200)};
    return info;
}

std::string DispatchInterfaceId(const ClassEntry& c) {
    return ModuleGuid(0x1000 + GuidNumber(c.clsid));
}

std::string EventInterfaceId(const ClassEntry& c) {
    return ModuleGuid(0x2000 + GuidNumber(c.clsid));
}

std::vector<const ClassEntry*> TypeLibraryClasses() {
    std::vector<const ClassEntry*> classes;
    for (const ClassEntry& c : ClassTable()) {
        if (!c.coclass.empty()) classes.push_back(&c);
    }
    return classes;
}

std::span<const EnumDesc* const> ModuleEnumerations() {
    return kModuleEnumerations;
}

std::span<const std::string_view> MathAnalysisFunctions() {
    return kMathAnalysis;
}

std::vector<const EnumDesc*> TypeLibraryEnumerations() {
    std::vector<const EnumDesc*> all;
    std::set<std::string_view> seen;
    auto add = [&](const EnumDesc* e) {
        if (e != nullptr && seen.insert(e->name).second) all.push_back(e);
    };
    for (const ClassEntry& c : ClassTable()) {
        if (const DispatchTable* members = DescribeClass(c).members) {
            for (const MemberDesc* m : members->All())
                add(m->enumeration);
        }
    }
    for (const EnumDesc* e : ModuleEnumerations())
        add(e);
    return all;
}

void WriteCoclassIdl(std::ostream& out, const ClassEntry& c) {
    const ClassDescription d = DescribeClass(c);
    if (d.members != nullptr) WriteDispatchInterface(out, c, *d.members);
    if (d.events != nullptr) WriteEventInterface(out, c, *d.events);
    out << "\t[ uuid(" << Bare(c.clsid) << "),\n\t  helpstring(\"" << c.userTypeName
        << "\"), helpcontext(" << d.helpContext << "), control ]\n\tcoclass " << c.coclass
        << "\n\t{\n\t\t[default] dispinterface _D" << c.coclass
        << ";\n\t\t[default, source] dispinterface _D" << c.coclass << "Events;\n\t};\n\n";
}

void WriteTypeLibraryIdl(std::ostream& out) {
    const TypeLibraryInfo& lib = TypeLibrary();
    out << "// " << lib.name << ": generated from the module's class, member and event tables.\n\n"
        << "[ uuid(" << Bare(lib.libid) << "), version(" << lib.major << "." << lib.minor
        << "),\n  helpstring(\"" << lib.helpString << "\"), helpfile(\"" << lib.helpFile
        << "\"),\n  helpcontext(0), control ]\nlibrary " << lib.name << "\n{\n"
        << "\timportlib(STDOLE_TLB);\n\timportlib(STDTYPE_TLB);\n\n";
    for (const EnumDesc* e : TypeLibraryEnumerations())
        WriteEnumIdl(out, *e);
    for (const ClassEntry* c : TypeLibraryClasses())
        WriteCoclassIdl(out, *c);
    out << "\t[ dllname(\"TALLYKIT.OCX\"),\n\t  helpstring(\"Analysis routines on arrays of "
           "4-byte floats\") ]\n\tmodule MathAnalysis\n\t{\n";
    for (std::string_view f : MathAnalysisFunctions()) {
        out << "\t\t[entry(\"" << f << "\")] void " << f << "();\n";
    }
    out << "\t};\n};\n";
}

void WriteTypeLibraryJson(std::ostream& out) {
    const TypeLibraryInfo& lib = TypeLibrary();
    out << "{\"name\":" << Quoted(lib.name) << ",\"uuid\":" << Quoted(lib.libid)
        << ",\"version\":\"" << lib.major << "." << lib.minor
        << "\",\"helpString\":" << Quoted(lib.helpString)
        << ",\"helpFile\":" << Quoted(lib.helpFile) << ",\n\"enumerations\":";
    WriteList(out, TypeLibraryEnumerations(), [&](const EnumDesc* e) {
        out << "{\"name\":" << Quoted(e->name) << ",\"values\":";
        WriteList(out, e->values, [&](const EnumValue& v) {
            out << "{\"name\":" << Quoted(v.name) << ",\"value\":" << v.value << "}";
        });
        out << "}";
    });
    out << ",\n\"coclasses\":";
    WriteList(out, TypeLibraryClasses(), [&](const ClassEntry* c) {
        const ClassDescription d = DescribeClass(*c);
        out << "{\"name\":" << Quoted(c->coclass) << ",\"uuid\":" << Quoted(c->clsid)
            << ",\"progId\":" << Quoted(c->progId) << ",\"className\":" << Quoted(c->className)
            << ",\"helpString\":" << Quoted(c->userTypeName) << ",\"helpContext\":" << d.helpContext
            << ",\n\"dispatch\":{\"name\":" << Quoted("_D" + std::string(c->coclass))
            << ",\"uuid\":" << Quoted(DispatchInterfaceId(*c)) << ",\"members\":";
        WriteList(out, d.members ? d.members->All() : std::span<const MemberDesc* const>(),
                  [&](const MemberDesc* m) { WriteMemberJson(out, *m); });
        out << "},\n\"events\":{\"name\":" << Quoted("_D" + std::string(c->coclass) + "Events")
            << ",\"uuid\":" << Quoted(EventInterfaceId(*c)) << ",\"events\":";
        WriteList(out, d.events ? d.events->All() : std::span<const EventDesc* const>(),
                  [&](const EventDesc* e) { WriteEventJson(out, *e); });
        out << "}}";
    });
    out << ",\n\"modules\":[{\"name\":\"MathAnalysis\",\"dllName\":\"TALLYKIT.OCX\",\"functions\":";
    WriteList(out, MathAnalysisFunctions(), [&](std::string_view f) { out << Quoted(f); });
    out << "}]}\n";
}
