// The Qt views over the page models, offscreen: what they show, what a
// keystroke or click changes, and what OK, Cancel and Apply write.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "module/class_table.h"
#include "pages/qt/gallery.h"
#include "pages/qt/page_view.h"
#include "pages/qt/property_frame.h"
#include "pages/qt/qt_desktop.h"
#include "tests/support/block_harness.h"

// Fontconfig keeps its configuration for the life of the process; under
// LeakSanitizer that reads as a leak that is neither ours nor Qt's to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

struct Framed {
    harness::Block block;
    std::unique_ptr<PropertyFrame> frame;
    std::vector<std::string> messages;

    explicit Framed(std::string_view cls) : block(cls) {
        std::string why;
        EXPECT_NE(EnsureApplication(true, &why), nullptr) << why;
        frame = std::make_unique<PropertyFrame>(nullptr, "caption", block.control.Get(),
                                                block.control->ClassInfo()->pageIds);
        frame->SetMessageHandler([this](const PageMessage& m) { messages.push_back(m.text); });
    }
    QLineEdit* Edit(std::string_view property) {
        PageView& view = frame->View(0);
        return qobject_cast<QLineEdit*>(view.FieldWidget(view.Page().FieldOf(property)));
    }
    // Replaces the field's text keystroke by keystroke.
    void Type(std::string_view property, const char* text) {
        Edit(property)->clear();
        QTest::keyClicks(Edit(property), text);
    }
    void Press(QDialogButtonBox::StandardButton which) {
        frame->findChild<QDialogButtonBox*>()->button(which)->click();
    }
};

TEST(PageViews, ShowTheModelAndPassKeystrokesAndClicks) {
    Framed f("OVMux");
    ASSERT_EQ(f.frame->PageCount(), 1);
    EXPECT_EQ(f.Edit("InputIndex")->text(), "0");
    QTest::keyClicks(f.Edit("InputIndex"), "3");
    EXPECT_EQ(f.frame->View(0).Page().Text(f.frame->View(0).Page().FieldOf("InputIndex")), "03");

    Framed logic("OVAnd");
    PageView& view = logic.frame->View(0);
    auto* booleans = qobject_cast<QCheckBox*>(view.FieldWidget(0));
    ASSERT_NE(booleans, nullptr);
    booleans->click();  // integers now
    EXPECT_TRUE(view.FieldWidget(5)->isEnabled());
    EXPECT_FALSE(view.FieldWidget(1)->isEnabled());
}

TEST(PageViews, OkAppliesCancelDoesNotApplyKeepsTheFrame) {
    Framed ok("OVDemux");
    ok.Type("OutputIndex", "8");
    ok.Press(QDialogButtonBox::Ok);
    EXPECT_EQ(ok.messages, std::vector<std::string>{"Please enter an integer between 0 and 7."});
    EXPECT_NE(ok.frame->result(), QDialog::Accepted);
    EXPECT_EQ(ok.block.Get("OutputIndex"), Variant::I4(0));
    ok.Type("OutputIndex", "6");
    ok.Press(QDialogButtonBox::Ok);
    EXPECT_EQ(ok.frame->result(), QDialog::Accepted);
    EXPECT_EQ(ok.block.Get("OutputIndex"), Variant::I4(6));

    Framed cancel("OVDemux");
    cancel.Type("OutputIndex", "5");
    cancel.Press(QDialogButtonBox::Cancel);
    EXPECT_EQ(cancel.block.Get("OutputIndex"), Variant::I4(0));

    Framed apply("OVDemux");
    apply.frame->show();
    apply.Type("OutputIndex", "4");
    apply.Press(QDialogButtonBox::Apply);
    EXPECT_EQ(apply.block.Get("OutputIndex"), Variant::I4(4));
    EXPECT_TRUE(apply.frame->isVisible());
}

TEST(PageViews, ShowPropertyPagesNeedsADesktopWithAnOwner) {
    std::string why;
    ASSERT_NE(EnsureApplication(true, &why), nullptr) << why;
    harness::Block block("OVAdd");
    EXPECT_EQ(block.Call("ShowPropertyPages"), Variant::Bool(false));  // no desktop yet
    QWidget owner;
    QtDesktop desktop(&owner);
    SetDesktop(&desktop);
    QString title;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* frame = dynamic_cast<PropertyFrame*>(w)) {
                title = frame->windowTitle();
                frame->reject();
            }
        }
    });
    EXPECT_EQ(block.Call("ShowPropertyPages"), Variant::Bool(true));
    EXPECT_EQ(title, "OVAdd Control");
    SetDesktop(nullptr);
}

}  // namespace
