#include "app/widgets/scroll_area_accessible.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace ovra {
namespace {

// A screen reader counts a scroll area's children, the scroll bar hides as the content shrinks,
// then it asks for the last child it counted.
TEST(ScrollAreaAccessible, AChildAskedForAfterTheScrollBarHidIsRefusedNotReadPastTheList) {
    installScrollAreaAccessible();
    QScrollArea area;
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area.setWidgetResizable(true);
    auto* content = new QLabel(QString(40, u'\n'));
    area.setWidget(content);
    area.resize(200, 80);
    area.show();
    QApplication::processEvents();

    ASSERT_TRUE(area.verticalScrollBar()->isVisible());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&area);
    ASSERT_TRUE(accessible);
    const int counted = accessible->childCount();
    ASSERT_GE(counted, 2) << "the viewport and the shown scroll bar";

    content->setText(u"short"_s);
    QApplication::processEvents();
    ASSERT_FALSE(area.verticalScrollBar()->isVisible());
    for (int index = 0; index < counted + 1; ++index) {
        QAccessibleInterface* child = accessible->child(index);
        if (index >= accessible->childCount())
            EXPECT_EQ(child, nullptr) << index;
        else
            EXPECT_TRUE(child && child->isValid()) << index;
    }
}

} // namespace
} // namespace ovra
