#include "pages/qt/gallery.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <algorithm>
#include <cstdlib>
#include <set>

#include "module/class_table.h"
#include "pages/qt/block_pictures.h"
#include "pages/qt/property_frame.h"
#include "pages/qt/qt_desktop.h"

QApplication* EnsureApplication(bool offscreen, std::string* why) {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr ||
                   std::getenv("QT_QPA_PLATFORM") != nullptr;
    if (!display) {
        if (!offscreen) {
            *why = "no display (set DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen)";
            return nullptr;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Qt keeps argc and argv for the life of the application, which is the process.
    static int argc = 1;
    static char name[] = "tallykit";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
}

namespace {

// Keeps what a block asks its desktop to show as its about box.
class AboutRecorder : public IDesktop {
  public:
    HWND GetSafeOwner() override { return nullptr; }
    HRESULT OleCreatePropertyFrame(HWND, int, int, std::string_view, IDispatch*,
                                   std::span<const std::string>, LCID) override {
        return E_NOTIMPL;
    }
    void ShowAboutBox(HWND, const AboutBoxText& text) override { shown = text; }
    int MessageBox(HWND, std::string_view, std::string_view, unsigned) override { return IDOK; }
    void MessageBeep() override {}
    std::optional<AboutBoxText> shown;
};

// Renders a widget that is never shown: grab lays it out and paints it.
bool Save(QWidget& widget, const QString& path) {
    widget.adjustSize();
    return widget.grab().save(path, "PNG");
}

ComPtr<COleControl> NewBlock(const ClassEntry& c) {
    ComPtr<COleControl> block = c.create();
    if (block) block->InitNew();
    return block;
}

}  // namespace

std::vector<std::string> WriteGallery(const std::string& folder, std::string* why) {
    std::vector<std::string> written;
    QDir dir(QString::fromStdString(folder));
    if (!dir.mkpath(".")) {
        *why = "cannot create " + folder;
        return written;
    }
    auto save = [&](QWidget& widget, std::string_view name) {
        QString path = dir.filePath(QString::fromUtf8(name.data(), name.size()) + ".png");
        if (Save(widget, path)) {
            written.push_back(path.toStdString());
        } else if (why->empty()) {
            *why = "cannot write " + path.toStdString();
        }
    };
    for (const PageEntry& page : PageTable()) {
        for (const ClassEntry& c : ClassTable()) {
            auto pages = PagesOf(c);
            if (std::find(pages.begin(), pages.end(), &page) == pages.end()) continue;
            ComPtr<COleControl> block = NewBlock(c);
            if (!block) break;
            std::string id(page.clsid);
            PropertyFrame frame(nullptr,
                                QString::fromUtf8(c.userTypeName.data(), c.userTypeName.size()),
                                block.Get(), std::span(&id, 1));
            save(frame, page.className);
            break;
        }
    }
    AboutRecorder recorder;
    IDesktop* previous = Desktop();
    SetDesktop(&recorder);
    std::set<std::string> titles;
    for (const ClassEntry& c : ClassTable()) {
        ComPtr<COleControl> block = NewBlock(c);
        recorder.shown.reset();
        if (block) block->Invoke(DISPID_ABOUTBOX, DISPATCH_METHOD, {}, nullptr);
        // A control that shows no about box of its own gets none in the gallery.
        if (!recorder.shown || !titles.insert(recorder.shown->title).second) continue;
        std::unique_ptr<QDialog> about = MakeAboutBox(nullptr, *recorder.shown);
        save(*about, c.className);
    }
    SetDesktop(previous);
    QString sheet = dir.filePath("block_pictures.png");
    if (PictureSheet().save(sheet, "PNG")) {
        written.push_back(sheet.toStdString());
    } else if (why->empty()) {
        *why = "cannot write " + sheet.toStdString();
    }
    return written;
}
