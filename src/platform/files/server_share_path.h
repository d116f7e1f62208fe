#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A location written \\SERVER\Share[\...], as Windows names a folder on a file server.
struct ServerSharePath
{
    QString server;
    QString share;
    // The elements after the share, in order; empty elements (doubled backslashes) are left out, as
    // Windows does when it opens such a path.
    QStringList elements;

    static bool isServerSharePath(const QString& path) { return path.startsWith(QLatin1String("\\\\")); }
    // Empty server or share when path has none.
    static ServerSharePath parse(const QString& path);

    // smb://SERVER/Share/elements, each part percent-encoded as a URL needs.
    QByteArray smbUrl() const;
    // The same location without its last element: the folder that holds a file.
    ServerSharePath folder() const;
    // \\SERVER\Share itself.
    ServerSharePath shareRoot() const { return {server, share, {}}; }
    // \\SERVER\Share, for messages.
    QString shareLocation() const;
};
