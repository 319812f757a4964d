// Loops and data files: `for` over a range or a CSV column, `csv` values,
// `export` of array-valued members, and the enumeration names of `set`.
#include <cmath>
#include <optional>

#include "host/csv.h"
#include "host/host_files.h"
#include "host/script_object.h"
#include "platform/value_text.h"

bool ScriptHost::ReadColumn(const std::string& path, const std::string& column,
                            std::vector<std::string>* cells, const Command& cmd) {
    if (!options_.fileAccess) {
        Diagnose(cmd, "file access is off");
        return false;
    }
    std::string text, why;
    if (!ReadHostFile(path, &text, &why)) {
        Diagnose(cmd, "cannot read " + why);
        return false;
    }
    if (!CsvColumn(ParseCsv(text), column, cells, &why)) {
        Diagnose(cmd, path + ": " + why);
        return false;
    }
    return true;
}

void ScriptHost::RunRound(const std::string& name, Variant value, const Command& body,
                          const Frame& frame) {
    variables_[name] = std::move(value);
    Run(body, frame);
}

void ScriptHost::Run(const ForCommand& c, const Command& cmd, const Frame& frame) {
    // The loop's variable hides one of the same name for the loop's length.
    auto outer = variables_.find(c.variable);
    std::optional<Variant> hidden;
    if (outer != variables_.end()) hidden = outer->second;
    if (c.range) {
        // Counted rather than accumulated, so that 0..1 step 0.1 ends at 1.
        const double span = (c.to - c.from) / c.step;
        const double rounds = std::floor(span + 1e-9 * std::max(1.0, std::fabs(span))) + 1;
        // Below 2^63 the count converts exactly enough; a step too small for
        // its range asks for more rounds than any loop may run.
        if (!(rounds <= static_cast<double>(options_.maxRepeat)) || !(rounds < 0x1p63)) {
            Diagnose(cmd, "for: " + FormatValue(Variant::R8(rounds)).substr(3) +
                              " rounds: at most " + std::to_string(options_.maxRepeat) + " here");
            return;
        }
        const auto count = static_cast<uint64_t>(rounds);
        for (uint64_t i = 0; i < count && !stopped_ && !Cancelled(cmd); ++i) {
            const double x = c.from + static_cast<double>(i) * c.step;
            Variant value = c.integral && std::fabs(x) <= 2147483647.0
                                ? Variant::I4(static_cast<int32_t>(x))
                                : Variant::R8(x);
            RunRound(c.variable, std::move(value), *c.body, frame);
        }
    } else {
        std::vector<std::string> cells;
        if (!ReadColumn(c.path, c.column, &cells, cmd)) return;
        if (cells.size() > options_.maxRepeat) {
            Diagnose(cmd, "for: " + std::to_string(cells.size()) + " rounds: at most " +
                              std::to_string(options_.maxRepeat) + " here");
            return;
        }
        for (size_t i = 0; i < cells.size() && !stopped_ && !Cancelled(cmd); ++i)
            RunRound(c.variable, CsvCellValue(cells[i]), *c.body, frame);
    }
    if (hidden) {
        variables_[c.variable] = std::move(*hidden);
    } else {
        variables_.erase(c.variable);
    }
}

void ScriptHost::Run(const ExportCommand& c, const Command& cmd, const Frame& frame) {
    Variant value;
    if (!Access(c.source, DISPATCH_PROPERTYGET, nullptr, &value, cmd, frame)) return;
    if (!options_.fileAccess) {
        Diagnose(cmd, "file access is off");
        return;
    }
    std::string csv, why;
    if (!ArrayToCsv(value, c.source.member, &csv, &why)) {
        Diagnose(cmd, "export " + Describe(c.source) + ": " + why);
        return;
    }
    if (!WriteHostFile(c.path, csv, &why)) Diagnose(cmd, "cannot write " + why);
}

bool ScriptHost::EnumValueOf(const Operand& operand, const MemberDesc* desc, Variant* out,
                             const Command& cmd) {
    const EnumDesc* enumeration = desc != nullptr ? desc->enumeration : nullptr;
    if (enumeration == nullptr) {
        Diagnose(cmd,
                 "`" + operand.name + "` is no value" +
                     (desc != nullptr ? " (" + std::string(desc->name) + " has no named values)"
                                      : std::string()));
        return false;
    }
    std::string known;
    for (const EnumValue& v : enumeration->values) {
        if (NamesEqual(v.name, operand.name)) {
            // The value in the member's own kind, as a number written there would be read.
            Variant number = Variant::I4(v.value);
            if (desc->type == VT_VARIANT ||
                FAILED(VariantChangeType(out, &number, 0, desc->type))) {
                *out = std::move(number);
            }
            return true;
        }
        known += (known.empty() ? "" : ", ") + std::string(v.name);
    }
    Diagnose(cmd, "`" + operand.name + "` is no " + std::string(enumeration->name) + " value (" +
                      known + ")");
    return false;
}
