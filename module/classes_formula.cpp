#include "module/class_families.h"

std::span<const ClassEntry> FormulaClasses() {
    return {};
}
