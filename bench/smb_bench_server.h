#pragma once

#include "support/samba_server.h"

#include <QFile>
#include <cstdio>

namespace BenchSupport {

// Starts the throwaway server and points libsmbclient's configuration at it; says why not on failure.
inline bool startForClients(SambaServer& server)
{
    QString whyNot;
    if (!server.start(&whyNot)) {
        std::fprintf(stderr, "No Samba server: %s\n", qPrintable(whyNot));
        return false;
    }
    qputenv("HOME", server.homeFolder().toLocal8Bit());
    return true;
}

inline QString logPathOn(const SambaServer& server)
{
    return server.guestFolder() + QStringLiteral("/CHATSLATE-LIVE.LOG");
}

// Writes the log straight into the share's folder, as the benchmark's set-up.
inline void writeLog(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace BenchSupport
