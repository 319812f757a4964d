#include "pages/page_registry.h"

#include <vector>

#include "module/class_table.h"

std::span<const PageRow> AllPageRows() {
    static const std::vector<PageRow> rows = [] {
        std::vector<PageRow> all;
        for (auto family : {ArithPages(), LogicPages(), RoutingPages(), ArrayPages(),
                            FormulaPages(), SignalPages()}) {
            all.insert(all.end(), family.begin(), family.end());
        }
        return all;
    }();
    return rows;
}

std::unique_ptr<COlePropertyPage> CreatePropertyPage(std::string_view clsidOrClassName) {
    const PageEntry* page = FindPage(clsidOrClassName);
    const std::string_view className = page != nullptr ? page->className : clsidOrClassName;
    for (const PageRow& row : AllPageRows()) {
        if (row.className != className) continue;
        if (row.create) return row.create();
        return std::make_unique<COlePropertyPage>(
            row.caption, std::vector<PageField>(row.fields.begin(), row.fields.end()));
    }
    return nullptr;
}
