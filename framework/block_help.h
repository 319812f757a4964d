#pragma once
// The help topic and the about box every control offers. Both are desktop
// services: the help viewer is a plug-in library found through the registry,
// the about dialog comes from the installed IDesktop. Without them every call
// here does nothing.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "platform/desktop.h"

// The help command that shows a topic by its context number.
constexpr unsigned HH_HELP_CONTEXT = 15;

// The viewer's entry point: (owner window, help file, command, data); its
// result is the viewer's window, which callers ignore.
using HtmlHelpEntry = HWND (*)(HWND owner, const char* file, unsigned command, uintptr_t data);

// Where the help viewer library is registered (its default value is the
// library's path), the name it is loaded by otherwise, and its entry's name.
constexpr std::string_view kHtmlHelpServerKey =
    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr const char* kHtmlHelpLibraryName = "libtallykit-helpviewer.so";
constexpr const char* kHtmlHelpEntryName = "HtmlHelpA";

// The help viewer library, loaded on the first call and kept from then on.
class HtmlHelpLibrary {
  public:
    // `libraryName` is loaded when the registry names no library or the one
    // it names does not load.
    explicit HtmlHelpLibrary(std::string libraryName = kHtmlHelpLibraryName)
        : libraryName_(std::move(libraryName)) {}
    ~HtmlHelpLibrary();
    HtmlHelpLibrary(const HtmlHelpLibrary&) = delete;
    HtmlHelpLibrary& operator=(const HtmlHelpLibrary&) = delete;

    // Calls the viewer's entry and returns its result. When the library or
    // its entry cannot be had, that is remembered: this and every later call
    // do nothing and return null.
    HWND HtmlHelp(HWND owner, const std::string& file, unsigned command, uintptr_t data);

  private:
    bool Load();

    enum class State { NotLoaded, Loaded, Failed };
    std::string libraryName_;
    std::mutex guard_;
    State state_ = State::NotLoaded;
    void* handle_ = nullptr;
    HtmlHelpEntry entry_ = nullptr;
};

// The module's one help library.
HtmlHelpLibrary& ModuleHtmlHelp();

// Opens topic `helpContext` of the help file `hostPath` + "\Plexa.chm" (a
// path as the module spells it, mapped onto the file system), owned by the
// desktop's main window, or by none.
void ShowHelpTopic(std::string_view hostPath, int32_t helpContext);

// Shows the about dialog of the control named `userTypeName` ("OVAdd
// Control"): "About OVAdd Control", "OVAdd Control, Version 3.0", the maker's
// line and the picture `iconBitmap`.
void ShowControlAboutBox(std::string_view userTypeName, int iconBitmap);
