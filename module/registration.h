#pragma once
// Registration of the module in the registry: the type library with its
// interfaces, every registered control and every property page. The entries
// follow the platform's layout under HKEY_CLASSES_ROOT so that tools that
// know it find them.
#include <string>

#include "module/class_table.h"

// Miscellaneous status bits of a control: recompose on resize, can't link
// inside, inside-out, activate when visible, invisible at run time, set client
// site first; an insertable control adds only-iconic and no UI activation.
constexpr unsigned kMiscStatus = 0x20591;
constexpr unsigned kMiscStatusInsertable = 0x24593;
constexpr std::string_view kApartment = "Apartment";

// The file this code was loaded from (libtallykit.so, or the program that
// links the module statically).
std::string ModulePath();

// The registry keys (below HKEY_CLASSES_ROOT) that belong to a control or page
// and that unregistration removes.
std::vector<std::string> KeysOf(const ClassEntry& c);
std::vector<std::string> KeysOf(const PageEntry& p);
// The type library's own keys: its TypeLib key and one key per interface.
std::vector<std::string> TypeLibraryKeys();
