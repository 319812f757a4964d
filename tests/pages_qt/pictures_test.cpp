// Block pictures on Qt surfaces: a block painted at its bitmap's own size is
// that bitmap pixel for pixel, and the about box carries the picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include "framework/base_math_ctrl.h"
#include "framework/block_picture.h"
#include "module/class_table.h"
#include "pages/qt/block_pictures.h"
#include "pages/qt/gallery.h"
#include "pages/qt/qt_desktop.h"
#include "resources/resources.h"

namespace {

TEST(BlockPictures, PaintedBlocksMatchTheirBitmapsPixelForPixel) {
    std::string why;
    ASSERT_NE(EnsureApplication(true, &why), nullptr) << why;
    int compared = 0;
    for (const ClassEntry& c : ClassTable()) {
        // The base control paints nothing and the placeholders an ellipse.
        ComPtr<COleControl> block = c.create();
        if (c.className == "COVBaseMathCtrl" || !dynamic_cast<COVBaseMathCtrl*>(block.Get())) {
            continue;
        }
        std::optional<CBitmap> bitmap = LoadBitmapResource(c.bitmap);
        ASSERT_TRUE(bitmap) << c.className;
        block->InitNew();
        ++compared;
        EXPECT_EQ(ToQImage(DrawControl(*block, bitmap->Width(), bitmap->Height())),
                  ToQImage(*bitmap))
            << c.className;
    }
    EXPECT_GE(compared, 40);
}

TEST(BlockPictures, AboutBoxShowsTextsAndTheBlocksPicture) {
    std::string why;
    ASSERT_NE(EnsureApplication(true, &why), nullptr) << why;
    auto about = MakeAboutBox(nullptr, {"About OVAdd Control", "OVAdd Control, Version 3.0",
                                        "maker", FindClass("OVAdd")->bitmap});
    EXPECT_EQ(about->windowTitle(), "About OVAdd Control");
    QStringList texts;
    for (QLabel* label : about->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("OVAdd Control, Version 3.0"));
    QImage icon = about->findChild<QLabel*>("icon")->pixmap().toImage();
    QImage bitmap = ToQImage(*LoadBitmapResource(FindClass("OVAdd")->bitmap));
    ASSERT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.convertToFormat(QImage::Format_RGB32),
              bitmap.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

}  // namespace
