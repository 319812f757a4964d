#include "host/page_commands.h"

#include "host/script_host.h"

#ifdef TK_HAVE_QT_PAGES
#include <QWidget>
#include <cstdlib>

#include "pages/qt/gallery.h"
#include "pages/qt/qt_desktop.h"

namespace {

// The desktop of a session: Qt starts when a block first asks for the owner
// window, which every block call that shows something does first, so a script
// that shows nothing pays nothing. The owner is a main window the user never
// sees, which the property frame and the dialogs need. Until Qt runs, the Qt
// desktop's calls do nothing.
class SessionDesktop : public QtDesktop {
  public:
    HWND GetSafeOwner() override {
        if (!tried_) {
            tried_ = true;
            std::string why;
            if (EnsureApplication(false, &why) != nullptr) SetOwner(new QWidget);
        }
        return QtDesktop::GetSafeOwner();
    }

  private:
    bool tried_ = false;
};

SessionDesktop& Session() {
    static SessionDesktop desktop;
    return desktop;
}

}  // namespace

void InstallSessionDesktop() {
    if (std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr)
        SetDesktop(&Session());
}

void RunPages(ScriptContext& context, std::span<const std::string> words) {
    COleControl* control = context.Object(words[0]);
    if (control == nullptr) return;
    std::string why;
    if (EnsureApplication(false, &why) == nullptr) return context.Fail("cannot open pages: " + why);
    IDesktop& desktop = Session();
    HWND mainWindow = desktop.GetSafeOwner();
    IDesktop* previous = Desktop();
    SetDesktop(&desktop);
    bool opened = false;
    DISPID show = DISPID_UNKNOWN;
    if (SUCCEEDED(control->GetIDsOfNames("ShowPropertyPages", &show))) {
        Variant result;
        opened = SUCCEEDED(control->Invoke(show, DISPATCH_METHOD, {}, &result)) &&
                 result.vt() == VT_BOOL && result.boolVal() != 0;
    } else if (const ControlClassInfo* info = control->ClassInfo()) {
        // The placeholders have no such method; their pages open all the same.
        opened = SUCCEEDED(desktop.OleCreatePropertyFrame(mainWindow, 0, 0, info->userTypeName,
                                                          control, info->pageIds, 0));
    }
    SetDesktop(previous);
    if (!opened) context.Fail("the property frame of " + words[0] + " could not be opened");
}

void RunGallery(ScriptContext& context, std::span<const std::string> words) {
    if (!context.FileAccess()) return context.Fail("file access is off");
    std::string why;
    if (EnsureApplication(true, &why) == nullptr) return context.Fail("cannot render: " + why);
    std::vector<std::string> files = WriteGallery(words[0], &why);
    if (!why.empty()) return context.Fail(why);
    context.Out() << "gallery: " << files.size() << " pictures in " << words[0] << '\n';
}

#else

void InstallSessionDesktop() {}

void RunPages(ScriptContext& context, std::span<const std::string>) {
    context.Fail("this tallykit was built without Qt 6: no property pages");
}

void RunGallery(ScriptContext& context, std::span<const std::string>) {
    context.Fail("this tallykit was built without Qt 6: no gallery");
}

#endif
