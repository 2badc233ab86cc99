#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "WindowOnLine.h"
#include "support/Frames.h"

namespace {

// A message box as it was on the screen.
struct ShownBox {
    std::string title;
    std::string text;
    std::string detail;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool textFits = true; // the box is narrow enough and its label shows the whole text
    bool plain = true;    // every label of the box shows its text as it is, never as rich text
};

// Runs `click` with the window's own modal boxes; each box that appears is read and closed.
std::vector<ShownBox> boxesShownBy(const std::function<void()>& click) {
    std::vector<ShownBox> shown;
    QTimer reader;
    reader.setInterval(10);
    QObject::connect(&reader, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        // Long runs carry invisible break chances; what the user reads is the text without them.
        const auto readable = [](QString text) { return text.remove(QChar(0x200B)).toStdString(); };
        const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 1 << 20),
                                                               Qt::TextWordWrap, label->text());
        const auto labels = box->findChildren<QLabel*>();
        shown.push_back(
            {box->windowTitle().toStdString(), readable(box->text()), readable(box->informativeText()),
             box->icon(), box->width() < 640 && needed.width() <= label->width(),
             std::ranges::all_of(labels,
                                 [](const QLabel* each) { return each->textFormat() == Qt::PlainText; })});
        box->accept();
    });
    reader.start();
    click();
    return shown;
}

} // namespace

TEST(MessageBoxes, EachBoxShowsExactlyItsOwnTitleAndText) {
    // Platforms that decorate window titles append the application display name to every title
    // that does not end with it; none is set, so the name Qt reports is the plain application name.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string caption = "BOOT DEVICE Ventrik V 1.6";
    const std::string notAvailable = " Not available! Use Serial settings to setup your ports.";

    struct Case {
        const char* what;
        std::string port;   // typed into the port box before "Open"; empty: no "Open"
        std::string chosen; // the file the dialog returns for "Open File and  Download"
        ShownBox expected;  // an empty detail is checked to be empty
        bool hasDetail;
    };
    const Case cases[] = {
        {"a port that does not exist",
         "/dev/no-such-port-here",
         "",
         {caption, "/dev/no-such-port-here" + notAvailable, "", QMessageBox::NoIcon},
         true},
        {"a port name of 3000 characters",
         "/dev/" + std::string(3000, 'x'),
         "",
         {caption, "/dev/" + std::string(3000, 'x') + notAvailable, "", QMessageBox::NoIcon},
         true},
        {"a port name that reads as markup",
         "/dev/<b>no</b>-port&lt;",
         "",
         {caption, "/dev/<b>no</b>-port&lt;" + notAvailable, "", QMessageBox::NoIcon},
         true},
        {"a cancelled file dialog", "", "", {caption, "Cancel", "", QMessageBox::NoIcon}, false},
        {"a file that does not exist",
         "",
         dir.filePath("missing.hex").toStdString(),
         {"Error#53", "File not found", "", QMessageBox::Critical},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MainWindow window{DialogHooks{{}, [&](const std::string&) { return c.chosen; }}};
        window.show();
        auto& ui = window.controls();
        const auto shown = boxesShownBy([&] {
            if (!c.port.empty()) {
                ui.txt0->setText(QString::fromStdString(c.port));
                ui.BTNOpenCom->click();
            } else {
                ui.Command3->click();
            }
        });
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].title, c.expected.title);
        EXPECT_EQ(shown[0].text, c.expected.text);
        EXPECT_EQ(shown[0].icon, c.expected.icon);
        EXPECT_TRUE(shown[0].textFits);
        EXPECT_TRUE(shown[0].plain);
        // The port's own reason goes below the fixed text, never into it.
        EXPECT_EQ(!shown[0].detail.empty(), c.hasDetail) << shown[0].detail;
    }
}

// What a board sends is shown as it is, in the answer box and in a box: read as rich text, a tag in
// a reply would be drawn, or would have the window load whatever it names.
TEST(MessageBoxes, ABoardsReplyIsShownLiterally) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WindowOnLine w(true);
    w.window.show();
    ASSERT_TRUE(w.startDownload(dir, [&] { w.ui.Command3->click(); }));
    // A version reply while a record awaits its answer: the board restarted, and the box quotes it.
    const std::string payload = "VER=<b>1.0</b>&lt;<img src=\"none.png\">";
    const auto shown = boxesShownBy([&] {
        w.line.writeToPort(reply(0, payload));
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.window.logic().Machine().state() == State::Failed; }));
    });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "The device restarted during record 1 of 3 (" + payload + ")");
    EXPECT_TRUE(shown[0].plain);
    EXPECT_EQ(w.ui.Text8->text().toStdString(), payload);
    for (const QLabel* label : w.window.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}
