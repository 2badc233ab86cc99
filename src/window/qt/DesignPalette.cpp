#include "window/qt/DesignPalette.h"

namespace {

struct RoleColours {
    QPalette::ColorRole role;
    QRgb enabled; // active and inactive
    QRgb disabled;
};

// The light palette of the Fusion style, which the window was laid out and coloured in.
constexpr RoleColours kRoles[] = {
    {QPalette::WindowText, 0xff000000, 0xffbebebe},    {QPalette::Button, 0xffefefef, 0xffefefef},
    {QPalette::Light, 0xffffffff, 0xffffffff},         {QPalette::Midlight, 0xffcacaca, 0xffcacaca},
    {QPalette::Dark, 0xff9f9f9f, 0xffbebebe},          {QPalette::Mid, 0xffb8b8b8, 0xffb8b8b8},
    {QPalette::Text, 0xff000000, 0xffbebebe},          {QPalette::BrightText, 0xffffffff, 0xffffffff},
    {QPalette::ButtonText, 0xff000000, 0xffbebebe},    {QPalette::Base, 0xffffffff, 0xffefefef},
    {QPalette::Window, 0xffefefef, 0xffefefef},        {QPalette::Shadow, 0xff767676, 0xffb1b1b1},
    {QPalette::Highlight, 0xff308cc6, 0xff919191},     {QPalette::HighlightedText, 0xffffffff, 0xffffffff},
    {QPalette::Link, 0xff0000ff, 0xff0000ff},          {QPalette::LinkVisited, 0xffff00ff, 0xffff00ff},
    {QPalette::AlternateBase, 0xfff7f7f7, 0xfff7f7f7}, {QPalette::ToolTipBase, 0xffffffdc, 0xffffffdc},
    {QPalette::ToolTipText, 0xff000000, 0xff000000},   {QPalette::PlaceholderText, 0x80000000, 0x80000000},
};

} // namespace

QPalette designPalette() {
    QPalette palette;
    for (const RoleColours& colours : kRoles) {
        for (const auto group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, colours.role, QColor::fromRgba(colours.enabled));
        palette.setColor(QPalette::Disabled, colours.role, QColor::fromRgba(colours.disabled));
    }
    return palette;
}
