#include <gtest/gtest.h>

#include <algorithm>

#include "window/FormLayout.h"

// Every binding builds its window from the one table: it must hold each control that shows exactly
// once, each after the frame holding it, so that a binding can create them in the table's order.
TEST(FormLayout, EveryShownControlOnceAfterItsFrame) {
    for (std::size_t i = 0; i < kFormLayout.size(); ++i) {
        const ControlLayout& row = kFormLayout[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(layoutOf(row.control), &row);
        if (!row.frame)
            continue;
        const ControlLayout* holder = layoutOf(*row.frame);
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->kind, ControlKind::Frame);
        EXPECT_LT(holder - kFormLayout.data(), std::ptrdiff_t(i));
    }
    for (const Control hidden : {Control::MSComm1, Control::Timer3, Control::TMRComm, Control::CommonDialog1})
        EXPECT_EQ(layoutOf(hidden), nullptr);
    for (const Control stop : kTabOrder) {
        const ControlKind kind = layoutOf(stop)->kind;
        EXPECT_TRUE(kind != ControlKind::Frame && kind != ControlKind::Label && kind != ControlKind::Bar &&
                    kind != ControlKind::Shape);
    }
}

// A binding whose controls all lie in the client area itself adds the frame's corner to the
// control's own; each is rounded on its own, as a binding with frames as holders rounds them.
TEST(FormLayout, WindowRectanglesGoThroughTheFrame) {
    const struct {
        Control control;
        PixelRect expected;
    } cases[] = {
        {Control::Frame4, {296, 0, 101, 57}},    {Control::Label5, {300, 16, 61, 17}},
        {Control::Command3, {108, 32, 137, 17}}, {Control::Text8, {48, 94, 341, 19}},
        {Control::Label3, {8, 96, 49, 17}},      {Control::Check1, {376, 0, 17, 17}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(layoutOf(c.control)->name);
        EXPECT_EQ(windowPixelRect(*layoutOf(c.control)), c.expected);
    }
}
