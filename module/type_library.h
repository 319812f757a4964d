#pragma once
// The type library TALLYKITLib, generated from the class table and each
// class's member and event tables, never written by hand: as IDL text for
// people and tools, and as JSON for programs.
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "module/class_table.h"

struct TypeLibraryInfo {
    std::string_view name = "TALLYKITLib";
    std::string libid;  // {...}
    unsigned major = 1, minor = 1;
    std::string_view helpString = "TallyKit ActiveX Control module";
    std::string_view helpFile = "Plexa.chm";
};
const TypeLibraryInfo& TypeLibrary();

// Identifiers of a coclass's dispatch and event interfaces.
std::string DispatchInterfaceId(const ClassEntry& c);
std::string EventInterfaceId(const ClassEntry& c);

// The classes the type library describes: the rows with a coclass name.
std::vector<const ClassEntry*> TypeLibraryClasses();

// Every enumeration of the library: those the classes' members are typed by
// (in the order first met, classes outside the library included), then the
// module's own list of enumerations no property names.
std::vector<const EnumDesc*> TypeLibraryEnumerations();
// Enumerations the library declares although no property is typed by them.
std::span<const EnumDesc* const> ModuleEnumerations();
// Names of the analysis routines the library's module MathAnalysis declares;
// the module itself neither implements nor exports them.
std::span<const std::string_view> MathAnalysisFunctions();

// The whole library as IDL.
void WriteTypeLibraryIdl(std::ostream& out);
// One coclass with its dispatch and event interfaces, as in the whole library.
void WriteCoclassIdl(std::ostream& out, const ClassEntry& c);
// The whole library as one JSON object (see the implementation for its keys).
void WriteTypeLibraryJson(std::ostream& out);
