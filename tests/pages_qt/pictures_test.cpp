// Block pictures on Qt surfaces: the about box carries the block's picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include "module/class_table.h"
#include "pages/qt/block_pictures.h"
#include "pages/qt/gallery.h"
#include "pages/qt/qt_desktop.h"
#include "resources/resources.h"

namespace {

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
