#pragma once
// A desktop whose main window is itself and that records the about boxes it
// is asked to show; property frames fail.
#include <vector>

#include "platform/desktop.h"

class RecordingDesktop : public IDesktop {
  public:
    HWND GetSafeOwner() override { return this; }
    HRESULT OleCreatePropertyFrame(HWND, int, int, std::string_view, IDispatch*,
                                   std::span<const std::string>, LCID) override {
        return E_FAIL;
    }
    void ShowAboutBox(HWND owner, const AboutBoxText& text) override {
        if (owner == this) shown.push_back(text);
    }
    int MessageBox(HWND, std::string_view, std::string_view, unsigned) override { return IDOK; }
    void MessageBeep() override {}

    std::vector<AboutBoxText> shown;  // only those owned by the main window
};
