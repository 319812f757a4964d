#pragma once
// Every property page of the module, by page class: plain pages are a caption
// and a field table; pages with behaviour of their own are made by a factory.
// The property frame and the gallery create pages from here by the class
// identifiers a control lists (PageTable() in module/class_table.h).
#include <memory>
#include <span>
#include <string_view>

#include "platform/property_page.h"

struct PageRow {
    std::string_view className;  // "COVAddPropPage"
    std::string_view caption;    // "General"
    std::span<const PageField> fields;
    // Pages with checks, enabling or exchanges of their own; null for plain pages.
    std::unique_ptr<COlePropertyPage> (*create)() = nullptr;
};

// The families' rows.
std::span<const PageRow> ArithPages();    // arithmetic, random, placeholders, base
std::span<const PageRow> LogicPages();    // comparison, logic, IfThenElse, SubString, alarm
std::span<const PageRow> RoutingPages();  // mux, demux, switch, lookup, bit pack
std::span<const PageRow> ArrayPages();
std::span<const PageRow> FormulaPages();
std::span<const PageRow> SignalPages();  // function generator, histogram, FIR, "No Properties"

// Every row of every family.
std::span<const PageRow> AllPageRows();
// A new page of the class with this class identifier or class name; null when
// the module has no such page.
std::unique_ptr<COlePropertyPage> CreatePropertyPage(std::string_view clsidOrClassName);

// The note of pages that exchange nothing.
inline constexpr std::string_view kNoPropertiesNote = "This control has no custom properties";
