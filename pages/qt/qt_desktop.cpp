#include "pages/qt/qt_desktop.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/block_picture.h"
#include "pages/qt/block_pictures.h"
#include "pages/qt/property_frame.h"

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QWidget* Window(HWND handle) {
    return static_cast<QWidget*>(handle);
}

// "Text files (*.csv, *.txt)|*.csv;*.txt|All files (*.*)|*.*||" in Qt's form:
// "Text files (*.csv, *.txt) (*.csv *.txt);;All files (*.*) (*.*)".
QString QtFilter(std::string_view filter) {
    QStringList parts = Q(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    }
    return filters.join(";;");
}

}  // namespace

HRESULT QtDesktop::OleCreatePropertyFrame(HWND owner, int x, int y, std::string_view caption,
                                          IDispatch* object, std::span<const std::string> pageIds,
                                          LCID) {
    if (QApplication::instance() == nullptr || object == nullptr) return E_FAIL;
    PropertyFrame frame(Window(owner), Q(caption), object, pageIds);
    if (frame.PageCount() == 0) return E_FAIL;
    if (owner != nullptr) frame.move(Window(owner)->mapToGlobal(QPoint(x, y)));
    frame.exec();
    return S_OK;
}

std::unique_ptr<QDialog> MakeAboutBox(QWidget* parent, const AboutBoxText& text) {
    auto dialog = std::make_unique<QDialog>(parent);
    dialog->setWindowTitle(Q(text.title));
    // The block's picture at twice its size beside the two lines, OK at the right.
    auto* layout = new QHBoxLayout(dialog.get());
    auto* icon = new QLabel(dialog.get());
    icon->setObjectName("icon");
    CBitmap picture(32, 32, kWhitePixel);
    CDC dc(&picture);
    RECT bounds{0, 0, 32, 32};
    DrawBlockBitmap(&dc, bounds, bounds, text.iconBitmap);
    icon->setPixmap(QPixmap::fromImage(ToQImage(picture)));
    layout->addWidget(icon, 0, Qt::AlignTop);
    auto* lines = new QVBoxLayout;
    lines->addWidget(new QLabel(Q(text.product), dialog.get()));
    lines->addWidget(new QLabel(Q(text.maker), dialog.get()));
    layout->addLayout(lines, 1);
    auto* ok = new QPushButton("OK", dialog.get());
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog.get(), &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignTop);
    return dialog;
}

void QtDesktop::ShowAboutBox(HWND owner, const AboutBoxText& text) {
    if (QApplication::instance() == nullptr) return;
    MakeAboutBox(Window(owner), text)->exec();
}

int QtDesktop::MessageBox(HWND owner, std::string_view text, std::string_view caption,
                          unsigned style) {
    if (QApplication::instance() == nullptr) return 0;
    QMessageBox box(Window(owner));
    box.setWindowTitle(Q(caption));
    box.setText(Q(text));
    if ((style & MB_ICONEXCLAMATION) == MB_ICONEXCLAMATION) box.setIcon(QMessageBox::Warning);
    box.exec();
    return IDOK;
}

void QtDesktop::MessageBeep() {
    if (QApplication::instance() != nullptr) QApplication::beep();
}

bool QtDesktop::GetOpenFileName(HWND owner, std::string_view filter, std::string_view defaultExt,
                                std::string* path) {
    if (QApplication::instance() == nullptr || path == nullptr) return false;
    QFileDialog dialog(Window(owner));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QtFilter(filter));
    dialog.setDefaultSuffix(Q(defaultExt));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    *path = dialog.selectedFiles().front().toStdString();
    return true;
}
