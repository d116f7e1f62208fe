#include "windows/common/window_look.h"

#include <QWidget>

int WindowLook::toPixels(double twips)
{
    return qRound(twips / twipsPerPixel);
}

float WindowLook::toTwips(int pixels)
{
    return static_cast<float>(pixels * twipsPerPixel);
}

void WindowLook::place(QWidget* control, int left, int top, int width, int height)
{
    control->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

QFont WindowLook::arialBold(qreal points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QFont WindowLook::dialogFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8);
    return font;
}

void WindowLook::setColours(QWidget* control, const QColor& background, const QColor& text)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

QIcon WindowLook::programIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/bd-chatslate-%1.png").arg(size), QSize(size, size));
    return icon;
}
