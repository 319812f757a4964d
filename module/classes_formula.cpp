#include "blocks/formula/formula_block.h"
#include "module/class_families.h"

std::span<const ClassEntry> FormulaClasses() {
    static const ClassEntry rows[] = {
        {"{5A3C0000-7A11-4B1D-9E2B-000000000050}", "TALLYKIT.FormulaCtrl.1", "Formula",
         "CFormulaCtrl", "Formula Control", 32, true, &CreateControl<CFormulaCtrl>},
    };
    return rows;
}
