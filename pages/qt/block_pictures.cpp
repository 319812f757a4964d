#include "pages/qt/block_pictures.h"

#include <QPainter>

#include "framework/block_picture.h"
#include "module/class_table.h"

QImage ToQImage(const CBitmap& bitmap) {
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        for (int32_t x = 0; x < bitmap.Width(); ++x)
            image.setPixel(x, y, 0xFF000000u | bitmap.At(x, y));
    }
    return image;
}

QImage PictureSheet() {
    constexpr int kScale = 4, kPicture = 16 * kScale, kCell = 150, kRow = 96, kColumns = 7;
    auto classes = ClassTable();
    int rows = static_cast<int>((classes.size() + kColumns - 1) / kColumns);
    QImage sheet(kColumns * kCell, rows * kRow, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    for (size_t i = 0; i < classes.size(); ++i) {
        const ClassEntry& c = classes[i];
        int left = static_cast<int>(i % kColumns) * kCell;
        int top = static_cast<int>(i / kColumns) * kRow;
        if (ComPtr<COleControl> block = c.create()) {
            block->InitNew();
            painter.drawImage((kCell - kPicture) / 2 + left, top + 8,
                              ToQImage(DrawControl(*block, kPicture, kPicture)));
        }
        QString name = QString::fromUtf8(c.className.data(), static_cast<int>(c.className.size()));
        painter.drawText(QRect(left, top + kPicture + 12, kCell, 20), Qt::AlignHCenter, name);
    }
    return sheet;
}
