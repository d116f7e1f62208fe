#pragma once

#include "platform/local_file_access.h"

// Test implementation: real files, with failures the test machine cannot produce (tests may run as
// root, where permissions never fail) injected on demand.
class FaultInjectingFileAccess final : public FileAccess
{
public:
    FileReadResult readAll(const QString& path) override
    {
        ++m_reads;
        if (!m_readFailure.isEmpty())
            return {{}, {m_readFailure.arg(path)}};
        return m_local.readAll(path);
    }
    FileError replaceAll(const QString& path, const QByteArray& bytes) override
    {
        ++m_writes;
        if (!m_writeFailure.isEmpty())
            return {m_writeFailure.arg(path)};
        return m_local.replaceAll(path, bytes);
    }

    // The message may hold %1 for the path; an empty text ends the failure.
    void failReads(const QString& message) { m_readFailure = message; }
    void failWrites(const QString& message) { m_writeFailure = message; }
    int reads() const { return m_reads; }
    int writes() const { return m_writes; }

private:
    LocalFileAccess m_local;
    QString m_readFailure;
    QString m_writeFailure;
    int m_reads = 0;
    int m_writes = 0;
};
