#include "blocks/formula/formula_block.h"
#include "module/class_families.h"

std::span<const ClassEntry> FormulaClasses() {
    static const ClassEntry rows[] = {
        ControlRow("Formula", 0x50, 32, true, &CreateControl<CFormulaCtrl>),
    };
    return rows;
}
