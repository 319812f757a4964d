#include "blocks/formula/formula_block.h"
#include "module/class_families.h"

std::span<const ClassEntry> FormulaClasses() {
    static const ClassEntry rows[] = {
        ControlRow<CFormulaCtrl>("Formula", 0x50, 32, true),
    };
    return rows;
}
