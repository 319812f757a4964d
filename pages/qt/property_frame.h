#pragma once
// The modal property frame over one object: a tab per page (tab text = the
// page's caption), OK, Cancel and Apply. OK and Apply apply every page in
// turn; a failed check shows its message, brings its page and field to the
// front and keeps the frame open. Cancel writes nothing.
#include <QDialog>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/property_page.h"

class QTabWidget;
class PageView;

class PropertyFrame : public QDialog {
  public:
    // The pages are those of `pageIds` (class identifiers or class names)
    // that the module knows, each loaded from `object`.
    PropertyFrame(QWidget* owner, const QString& caption, IDispatch* object,
                  std::span<const std::string> pageIds);
    ~PropertyFrame() override;

    int PageCount() const { return static_cast<int>(views_.size()); }
    PageView& View(int page) { return *views_[page]; }
    // Applies every page; false (message shown, frame kept) on a failed check.
    bool ApplyAll();
    // Replaces the message box a failed check shows (tests watch the messages).
    void SetMessageHandler(std::function<void(const PageMessage&)> handler) {
        messages_ = std::move(handler);
    }

  private:
    QTabWidget* tabs_;
    std::vector<std::unique_ptr<COlePropertyPage>> pages_;
    std::vector<PageView*> views_;
    std::function<void(const PageMessage&)> messages_;
};
