#pragma once

#include <array>

// Every control of the main window, in the window's own control order (each frame followed by
// the controls it holds). SwitchTags walks them in this order.
enum class Control {
    MSComm1,
    Frame4,
    Command1,
    Text2,
    Text1,
    Check1,
    Label5,
    Timer3,
    Text8,
    Command5,
    CommonDialog1,
    Frame3,
    vbalProgressBar1,
    Label3,
    TMRComm,
    Frame2,
    Option3,
    Option2,
    Option1,
    Command2,
    Command6,
    Command4,
    Command3,
    BTNCloseCom,
    BTNOpenCom,
    txt0,
    Label7,
    Label6,
    Label4,
    Label2,
    Pic,
    Label1_0,
};

inline constexpr std::array kControlOrder = {
    Control::MSComm1,     Control::Frame4,     Control::Command1,     Control::Text2,
    Control::Text1,       Control::Check1,     Control::Label5,       Control::Timer3,
    Control::Text8,       Control::Command5,   Control::CommonDialog1, Control::Frame3,
    Control::vbalProgressBar1, Control::Label3, Control::TMRComm,     Control::Frame2,
    Control::Option3,     Control::Option2,    Control::Option1,      Control::Command2,
    Control::Command6,    Control::Command4,   Control::Command3,     Control::BTNCloseCom,
    Control::BTNOpenCom,  Control::txt0,       Control::Label7,       Control::Label6,
    Control::Label4,      Control::Label2,     Control::Pic,          Control::Label1_0,
};
