#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

class QWidget;

// Layout units and the look the three windows share.
namespace WindowLook {

inline constexpr int twipsPerPixel = 15;

inline const QString mainCaption = QStringLiteral("BRAMBLEDYNE - BD-CHATSLATE");
inline const QString creatorCaption = QStringLiteral("Created By Orrivel9");
inline const QString creatorAddress = QStringLiteral("orrivel9@brambledyne.example");
inline const QString versionCaption = QStringLiteral("Version 1.0");
inline const QString shareLabelCaption =
    QStringLiteral("BD-CHATSLATE - Shared Folder Location - eg - \\\\SERVER\\Share OR \\\\IP\\Share");

inline const QColor green{0, 255, 0};
inline const QColor black{0, 0, 0};

int toPixels(double twips);
float toTwips(int pixels);

// Places a child control by its design position and size in twips.
void place(QWidget* control, int left, int top, int width, int height);

QFont arialBold(qreal points);
// Buttons and tick boxes: a narrow dialog font, so that captions fit their design widths.
QFont dialogFont();
void setColours(QWidget* control, const QColor& background, const QColor& text);

QIcon programIcon();

} // namespace WindowLook
