#pragma once
// The desktop services through Qt widgets: the owner window the host sets,
// the property frame, the about dialog, message boxes and the file dialog.
// Needs a QApplication for every call that shows something.
#include <QDialog>
#include <memory>

#include "platform/desktop.h"

class QWidget;

class QtDesktop : public IDesktop {
  public:
    // `owner` is the application's main window; null: the application has none.
    explicit QtDesktop(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }

    HWND GetSafeOwner() override { return owner_; }
    HRESULT OleCreatePropertyFrame(HWND owner, int x, int y, std::string_view caption,
                                   IDispatch* object, std::span<const std::string> pageIds,
                                   LCID locale) override;
    void ShowAboutBox(HWND owner, const AboutBoxText& text) override;
    int MessageBox(HWND owner, std::string_view text, std::string_view caption,
                   unsigned style) override;
    void MessageBeep() override;
    bool GetOpenFileName(HWND owner, std::string_view filter, std::string_view defaultExt,
                         std::string* path) override;

  private:
    QWidget* owner_;
};

// The about dialog: its title, the product and maker lines and an "OK" button.
std::unique_ptr<QDialog> MakeAboutBox(QWidget* parent, const AboutBoxText& text);
