#pragma once
// A block class of a table-driven family: the family's one implementation bound
// to one row of its table. Each still is a class of its own, because the class
// table, the type library and hosts know blocks by class. The family keeps the
// class of each row in `kKindClasses`, indexed like its table, so a row's
// tables and help context are read without an instance.
#include <cstddef>

#include "platform/ole_control.h"

template <class Family, auto Row>
class FamilyBlock : public Family {
  public:
    static constexpr const ControlClass& kClass =
        Family::kKindClasses[static_cast<std::size_t>(Row)];

    FamilyBlock() : Family(Row) {}
};
