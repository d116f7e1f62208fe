#include "platform/files/server_share_path.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

ServerSharePath ServerSharePath::parse(const QString& path)
{
    ServerSharePath result;
    if (!isServerSharePath(path))
        return result;
    // Windows takes forward slashes as separators too.
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    QStringList parts = path.mid(2).split(separators, Qt::SkipEmptyParts);
    if (!parts.isEmpty())
        result.server = parts.takeFirst();
    if (!parts.isEmpty())
        result.share = parts.takeFirst();
    result.elements = parts;
    return result;
}

QByteArray ServerSharePath::smbUrl() const
{
    QByteArray url = QByteArrayLiteral("smb://") + QUrl::toPercentEncoding(server);
    for (const QString& part : QStringList{share} + elements)
        url += '/' + QUrl::toPercentEncoding(part);
    return url;
}

ServerSharePath ServerSharePath::folder() const
{
    ServerSharePath result = *this;
    if (!result.elements.isEmpty())
        result.elements.removeLast();
    return result;
}

QString ServerSharePath::shareLocation() const
{
    return QStringLiteral("\\\\") + server + QLatin1Char('\\') + share;
}
