#include "pages/qt/property_frame.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "pages/page_registry.h"
#include "pages/qt/page_view.h"

PropertyFrame::PropertyFrame(QWidget* owner, const QString& caption, IDispatch* object,
                             std::span<const std::string> pageIds)
    : QDialog(owner), tabs_(new QTabWidget(this)) {
    setWindowTitle(caption);
    setModal(true);
    for (const std::string& id : pageIds) {
        std::unique_ptr<COlePropertyPage> page = CreatePropertyPage(id);
        if (!page) continue;
        page->Load(object);
        auto* view = new PageView(*page, tabs_);
        tabs_->addTab(view, QString::fromUtf8(page->Caption().data(),
                                              static_cast<qsizetype>(page->Caption().size())));
        pages_.push_back(std::move(page));
        views_.push_back(view);
    }
    messages_ = [this](const PageMessage& m) { ShowPageMessage(this, m, windowTitle()); };
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    connect(buttons, &QDialogButtonBox::accepted, [this] {
        if (ApplyAll()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked,
            [this] { ApplyAll(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

PropertyFrame::~PropertyFrame() = default;

bool PropertyFrame::ApplyAll() {
    for (size_t i = 0; i < pages_.size(); ++i) {
        std::optional<PageMessage> failed = pages_[i]->Apply();
        views_[i]->Refresh();
        if (!failed) continue;
        tabs_->setCurrentIndex(static_cast<int>(i));
        messages_(*failed);
        views_[i]->FocusField(failed->field);
        return false;
    }
    return true;
}
