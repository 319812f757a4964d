#pragma once
// A block class of a table-driven family: the family's one implementation bound
// to one row of its table. Each still is a class of its own, because the class
// table, the type library and hosts know blocks by class.
template <class Family, auto Row>
class FamilyBlock : public Family {
  public:
    FamilyBlock() : Family(Row) {}
};
