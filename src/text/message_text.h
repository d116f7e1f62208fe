#pragma once

#include <QList>
#include <QString>

// Shapes the failure texts the user reads: system descriptions (strerror, FormatMessage) come without a
// full stop, and advice after a reason is easiest to find in a paragraph of its own.
namespace MessageText {

inline QString sentence(const QString& text)
{
    if (text.isEmpty() || text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char('?')) ||
        text.endsWith(QLatin1Char('!')))
        return text;
    return text + QLatin1Char('.');
}

inline QString withAdvice(const QString& reason, const QString& advice)
{
    return sentence(reason) + QStringLiteral("\n\n") + advice;
}

// The first few of any number of characters, then how many more: a message naming thousands of them
// would outgrow the screen and hide its buttons.
inline QString firstFew(const QString& characters)
{
    constexpr qsizetype shown = 20;
    const QList<uint> all = characters.toUcs4();
    if (all.size() <= shown)
        return characters;
    return QStringLiteral("%1 and %2 more")
        .arg(QString::fromUcs4(reinterpret_cast<const char32_t*>(all.constData()), shown))
        .arg(all.size() - shown);
}

} // namespace MessageText
