#pragma once

#include <QByteArray>
#include <QString>

// The byte layout of the live log, shared by every workstation that reads or writes it. It is kept as
// bytes: a Qt text field would turn the CR LF of the separator into a lone LF.
namespace LiveLogFormat {

inline const QString fileName = QStringLiteral("\\CHATSLATE-LIVE.LOG");
inline const QByteArray lineEnd = QByteArrayLiteral("\r\n");
// Follows every entry twice: space, CR, LF.
inline const QByteArray separator = QByteArrayLiteral(" \r\n");

// Plain concatenation, with no separator added or removed: a share ending in a backslash gives two.
inline QString liveLogPath(const QString& shareLocation)
{
    return shareLocation + fileName;
}

// The new entry in front of the old content exactly as it was read, then one more line end.
inline QByteArray composePost(const QByteArray& ownText, const QByteArray& oldContent)
{
    return ownText + separator + separator + oldContent + lineEnd;
}

// What a clear leaves: the empty text followed by a line end.
inline QByteArray clearedLog()
{
    return lineEnd;
}

} // namespace LiveLogFormat
