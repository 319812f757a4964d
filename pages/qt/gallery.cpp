#include "pages/qt/gallery.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <set>

#include "module/class_table.h"
#include "pages/qt/block_pictures.h"
#include "pages/qt/property_frame.h"
#include "pages/qt/qt_desktop.h"

namespace {

bool Connects(int family, const sockaddr* address, socklen_t length) {
    int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool connected = connect(fd, address, length) == 0;
    close(fd);
    return connected;
}

bool UnixSocketAnswers(const std::string& path, bool abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    size_t offset = abstract ? 1 : 0;  // an abstract name starts with a NUL byte
    if (path.size() + offset >= sizeof address.sun_path) return false;
    std::copy(path.begin(), path.end(), address.sun_path + offset);
    auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() +
                                         (abstract ? 0 : 1));
    return Connects(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length);
}

// Whether the display the environment names accepts a connection. Qt ends the
// process when its platform cannot connect, so a stale DISPLAY must be found
// out before an application is made.
bool DisplayAnswers() {
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY")) {
        std::string path = wayland;
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!path.starts_with('/') && runtime != nullptr) path = std::string(runtime) + "/" + path;
        if (UnixSocketAnswers(path, false)) return true;
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr) return false;
    std::string text = display;  // [host]:number[.screen]
    size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    std::string host = text.substr(0, colon);
    std::string number = text.substr(colon + 1, text.find('.', colon) - colon - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
    if (host.empty() || host == "unix") {
        std::string path = "/tmp/.X11-unix/X" + number;
        return UnixSocketAnswers(path, false) || UnixSocketAnswers(path, true);
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string port = std::to_string(6000 + std::stoi(number.substr(0, 4)));
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return false;
    bool answers = false;
    for (addrinfo* a = found; a != nullptr && !answers; a = a->ai_next)
        answers = Connects(a->ai_family, a->ai_addr, a->ai_addrlen);
    freeaddrinfo(found);
    return answers;
}

}  // namespace

QApplication* EnsureApplication(bool offscreen, std::string* why) {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    // A platform the user chose is taken as it is.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && !DisplayAnswers()) {
        if (!offscreen) {
            *why =
                "no display answers (set DISPLAY or WAYLAND_DISPLAY to a running one, or "
                "QT_QPA_PLATFORM=offscreen)";
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
QPixmap Render(QWidget& widget) {
    widget.adjustSize();
    return widget.grab();
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
    auto save = [&](const QPixmap& picture, std::string_view name) {
        QString path = dir.filePath(QString::fromUtf8(name.data(), name.size()) + ".png");
        if (picture.save(path, "PNG")) {
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
            save(Render(frame), page.className);
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
        save(Render(*about), c.className);
    }
    SetDesktop(previous);
    save(QPixmap::fromImage(PictureSheet()), "block_pictures");
    return written;
}
