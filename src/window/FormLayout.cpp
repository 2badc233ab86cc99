#include "window/FormLayout.h"

#include <algorithm>

const ControlLayout* layoutOf(Control control) {
    const auto row = std::ranges::find(kFormLayout, control, &ControlLayout::control);
    return row == kFormLayout.end() ? nullptr : &*row;
}

PixelRect pixelRect(const ControlLayout& layout) {
    const TwipsRect& t = layout.twips;
    return {twipsToPixels(t.left), twipsToPixels(t.top), twipsToPixels(t.width), twipsToPixels(t.height)};
}

PixelRect windowPixelRect(const ControlLayout& layout) {
    PixelRect rect = pixelRect(layout);
    if (layout.frame) {
        const PixelRect holder = windowPixelRect(*layoutOf(*layout.frame));
        rect.left += holder.left;
        rect.top += holder.top;
    }
    return rect;
}

std::string initialTag(Control control) {
    switch (control) {
    case Control::txt0:
    case Control::BTNOpenCom:
        return "NO";
    case Control::BTNCloseCom:
        return "NC";
    default:
        return {};
    }
}

bool isInitiallyChecked(Control control) {
    return std::ranges::find(kInitiallyChecked, control) != kInitiallyChecked.end();
}

bool isInitiallyDisabled(Control control) {
    return std::ranges::find(kInitiallyDisabled, control) != kInitiallyDisabled.end();
}

bool isNeverFocused(Control control) {
    return std::ranges::find(kNeverFocused, control) != kNeverFocused.end();
}
