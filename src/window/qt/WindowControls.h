#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <array>
#include <string>

#include "window/Controls.h"
#include "window/FormLayout.h"
#include "window/qt/FillShape.h"
#include "window/qt/TextProgressBar.h"

// Every control of the main window as the layout table (window/FormLayout.h) has it, children of `window`.
// The widgets belong to the window; this only keeps the pointers, the tags and the
// enabled flags of the two controls that are not widgets.
struct WindowControls {
    explicit WindowControls(QWidget& window);

    QGroupBox* Frame4;
    QPushButton* Command1;
    QLineEdit* Text2;
    QLineEdit* Text1;
    QCheckBox* Check1;
    QLabel* Label5;
    QTimer* Timer3;
    QLineEdit* Text8;
    QPushButton* Command5;
    QGroupBox* Frame3;
    TextProgressBar* vbalProgressBar1;
    QLabel* Label3;
    QTimer* TMRComm;
    QGroupBox* Frame2;
    QRadioButton* Option3;
    QRadioButton* Option2;
    QRadioButton* Option1;
    QButtonGroup* speedGroup;
    QPushButton* Command2;
    QPushButton* Command6;
    QPushButton* Command4;
    QPushButton* Command3;
    QPushButton* BTNCloseCom;
    QPushButton* BTNOpenCom;
    QLineEdit* txt0;
    QLabel* Label7;
    QLabel* Label6;
    QLabel* Label4;
    QLabel* Label2;
    FillShape* Pic;
    QLabel* Label1_0;

    // The widget of a control; nullptr for the port, the timers and the file dialog.
    QWidget* widget(Control control) const { return widgets[index(control)]; }
    const std::string& tag(Control control) const { return tags[index(control)]; }
    bool isEnabled(Control control) const;
    void setEnabled(Control control, bool enabled);

  private:
    static std::size_t index(Control control) { return static_cast<std::size_t>(control); }
    // The object name is the control's design name, for finding it in tools and tests.
    void keep(Control control, QWidget* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        widgets[index(control)] = widget;
    }
    void setTabOrder();
    template <typename W> W* as(Control control) const { return static_cast<W*>(widget(control)); }

    std::array<QWidget*, kControlOrder.size()> widgets{};
    std::array<std::string, kControlOrder.size()> tags{};
    // The port component and the file dialog have an Enabled flag and nothing shows it.
    bool portEnabled = true;
    bool dialogEnabled = true;
};
