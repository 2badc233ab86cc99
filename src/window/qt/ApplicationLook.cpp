#include "window/qt/ApplicationLook.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include "window/FormLayout.h"

void applyApplicationLook() {
    // The frames' style sheets would otherwise give their controls the application's palette
    // instead of the window's own (DesignPalette.h).
    QApplication::setAttribute(Qt::AA_UseStyleSheetPropagationInWidgetStyles);
    // One style everywhere: the design sizes are small and a platform style's wider margins cut captions.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QFont font(QString::fromLatin1(kFontFace));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kWindowFontPixels);
    QApplication::setFont(font);
}
