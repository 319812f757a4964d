#pragma once
// The desktop services a control calls on: the application's owner window, the
// modal property frame, the about dialog and message boxes. A host with a user
// interface installs an implementation (the Qt one lives in pages/qt/); without
// one every call does nothing and reports failure, which the controls treat as
// a missing platform service. The library itself never needs a display.
#include <span>
#include <string>
#include <string_view>

#include "platform/com.h"

using LCID = uint32_t;
// A window of the installed desktop; null stands for "no window".
using HWND = void*;

// What the class factory tells a control about its class, so that the
// control can name itself in captions, draw its picture and list its pages.
struct ControlClassInfo {
    std::string_view userTypeName;         // "OVAdd Control"
    int bitmap = 0;                        // its toolbox picture's resource number
    std::span<const std::string> pageIds;  // its property pages' class identifiers, in order
    std::span<const std::string_view> pageClasses;  // the same pages' class names
};

// What an about dialog shows.
struct AboutBoxText {
    std::string title;    // "About OVAdd Control"
    std::string product;  // "OVAdd Control, Version 3.0"
    std::string maker;    // the maker's line
    int iconBitmap = 0;   // the picture shown beside the texts
};

// Message box styles and answers (the subset pages and controls use).
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;  // the warning icon
constexpr int IDOK = 1;

class IDesktop {
  public:
    virtual ~IDesktop() = default;
    // The application's main window, null when it has none.
    virtual HWND GetSafeOwner() = 0;
    // The platform's modal property frame over one object: a tab per page
    // class identifier, OK, Cancel and Apply, at (x, y) of the owner.
    virtual HRESULT OleCreatePropertyFrame(HWND owner, int x, int y, std::string_view caption,
                                           IDispatch* object, std::span<const std::string> pageIds,
                                           LCID locale) = 0;
    virtual void ShowAboutBox(HWND owner, const AboutBoxText& text) = 0;
    virtual int MessageBox(HWND owner, std::string_view text, std::string_view caption,
                           unsigned style) = 0;
    virtual void MessageBeep() = 0;
    // A file-open dialog whose file must exist, with a filter in the platform's
    // "Name|*.a;*.b|...||" form and a default extension; false when the user
    // cancels or the desktop has no such dialog.
    virtual bool GetOpenFileName(HWND owner, std::string_view filter, std::string_view defaultExt,
                                 std::string* path) {
        (void)owner, (void)filter, (void)defaultExt, (void)path;
        return false;
    }
};

// The installed desktop, or null. A host installs one at start and removes it
// (null) before it goes away; the desktop must outlive every call made through it.
IDesktop* Desktop();
void SetDesktop(IDesktop* desktop);
