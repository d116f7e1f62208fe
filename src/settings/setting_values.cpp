#include "settings/setting_values.h"

#include <QLocale>
#include <cmath>

namespace {

// About 100,000 pixels: no screen arrangement reaches that far.
constexpr float placementLimit = 1.5e6f;

std::optional<float> parseNumber(const QString& text)
{
    bool ok = false;
    const float value = QLocale::c().toFloat(text.trimmed(), &ok);
    if (ok)
        return value;
    const float localValue = QLocale::system().toFloat(text.trimmed(), &ok);
    if (ok)
        return localValue;
    return std::nullopt;
}

} // namespace

std::optional<float> SettingValues::parsePlacement(const QString& text)
{
    const std::optional<float> value = parseNumber(text);
    if (!value || !std::isfinite(*value) || std::fabs(*value) > placementLimit)
        return std::nullopt;
    return value;
}

QString SettingValues::formatPlacement(float twips)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    // Whole numbers print without a fraction, as far as they fit the integer they are printed through.
    constexpr float integerLimit = 0x1p63f;
    if (twips == std::trunc(twips) && std::fabs(twips) < integerLimit)
        return c.toString(static_cast<qlonglong>(twips));
    return c.toString(twips, 'g', 9);
}

std::optional<short> SettingValues::parseTick(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > 2)
        return std::nullopt;
    return static_cast<short>(value);
}

QString SettingValues::formatTick(short state)
{
    return QString::number(state);
}
