#include "framework/block_help.h"

#include <dlfcn.h>

#include "platform/paths.h"
#include "platform/registry.h"

namespace {

constexpr const char* kMakerLine = "Copyright (C) the TallyKit developers";

}  // namespace

HtmlHelpLibrary::~HtmlHelpLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

bool HtmlHelpLibrary::Load() {
    // The registered viewer first; a value too long for the platform's
    // 260-byte buffer counts as unreadable.
    if (auto registered = RegReadString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, "")) {
        std::string path = MapPlatformPath(*registered);
        if (!path.empty()) handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (handle_ == nullptr) handle_ = dlopen(libraryName_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return false;
    entry_ = reinterpret_cast<HtmlHelpEntry>(dlsym(handle_, kHtmlHelpEntryName));
    return entry_ != nullptr;
}

HWND HtmlHelpLibrary::HtmlHelp(HWND owner, const std::string& file, unsigned command,
                               uintptr_t data) {
    std::lock_guard lock(guard_);
    if (state_ == State::NotLoaded) state_ = Load() ? State::Loaded : State::Failed;
    if (state_ == State::Failed) return nullptr;
    return entry_(owner, file.c_str(), command, data);
}

HtmlHelpLibrary& ModuleHtmlHelp() {
    static HtmlHelpLibrary library;
    return library;
}

void ShowHelpTopic(std::string_view hostPath, int32_t helpContext) {
    std::string file = std::string(hostPath) + "\\Plexa.chm";
    std::string mapped = MapPlatformPath(file);
    IDesktop* desktop = Desktop();
    HWND owner = desktop != nullptr ? desktop->GetSafeOwner() : nullptr;
    // The viewer is handed the file even where it cannot be mapped, so that
    // it can say which one it could not open.
    ModuleHtmlHelp().HtmlHelp(owner, mapped.empty() ? file : mapped, HH_HELP_CONTEXT,
                              static_cast<uintptr_t>(static_cast<uint32_t>(helpContext)));
}

void ShowControlAboutBox(std::string_view userTypeName, int iconBitmap) {
    IDesktop* desktop = Desktop();
    if (desktop == nullptr) return;
    std::string name(userTypeName);
    desktop->ShowAboutBox(desktop->GetSafeOwner(),
                          {"About " + name, name + ", Version 3.0", kMakerLine, iconBitmap});
}
