#pragma once

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

} // namespace MessageText
