#include "platform/ui/Colors.h"

#include <gtest/gtest.h>

TEST(Colors, TColorIsBlueGreenRed)
{
    EXPECT_EQ(ui::ToQColor(0x0000FF), QColor(Qt::red));
    EXPECT_EQ(ui::ToQColor(0x00FF00), QColor(Qt::green));
    EXPECT_EQ(ui::ToQColor(0xFF0000), QColor(Qt::blue));
    EXPECT_EQ(ui::ToQColor(0x123456), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(ui::ToTColor(QColor(0x56, 0x34, 0x12)), 0x123456u);
    EXPECT_EQ(ui::ToTColor(ui::ToQColor(0x00C0FFEE)), 0x00C0FFEEu);
}
