#pragma once

#include "platform/files/local_file_access.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <algorithm>
#include <functional>
#include <optional>

// Test implementation: real files, with failures the test machine cannot produce (tests may run as
// root, where permissions never fail, and may not mount file systems) injected on demand. Safe to use
// from the reading thread and the user-interface thread at once.
class FaultInjectingFileAccess : public FileAccess
{
public:
    FaultInjectingFileAccess() = default;
    // The same faults on top of another backend, such as the one for file servers.
    explicit FaultInjectingFileAccess(FileAccess& backend)
        : m_backend(backend)
    {}

    enum class Operation
    {
        read,
        replace,
        remove,
    };

    FileReadResult readAll(const QString& path) override
    {
        return read(path, [&] { return m_backend.readAll(path); });
    }
    // The backend tells whether the file changed; a change is read through readAll, so that a test's
    // override of it and every fault apply, and each read is counted. No fault spares a read.
    FileRereadResult readIfChanged(const QString& path, const std::optional<FileIdentity>& known,
                                   QByteArray& buffer) override
    {
        QMutexLocker locker(&m_mutex);
        const bool faulty = !m_readFailure.isEmpty() || m_busyReads > 0;
        locker.unlock();
        FileRereadResult result;
        if (!faulty) {
            QByteArray unused;
            result = m_backend.readIfChanged(path, known, unused);
            if (result.unchanged)
                return result;
        }
        FileReadResult whole = readAll(path);
        buffer = std::move(whole.bytes);
        result.unchanged = false;
        result.error = whole.error;
        if (whole.error.failed())
            result.identity.reset();
        return result;
    }
    FileReadResult readStart(const QString& path, qsizetype maxBytes) override
    {
        return read(path, [&] { return m_backend.readStart(path, maxBytes); });
    }
    FileError writeAll(const QString& path, const QByteArray& bytes, Create mode) override
    {
        QMutexLocker locker(&m_mutex);
        if (!m_readOnly.isEmpty())
            return readOnlyError(path);
        if (!m_diskFull.isEmpty() && mode == Create::replacingContent) {
            // The first half reaches the disk, then the space runs out.
            m_backend.writeAll(path, bytes.left(bytes.size() / 2), mode);
            return {FileError::Kind::noSpace, m_diskFull.arg(path)};
        }
        locker.unlock();
        return stampedIfWritten(path, m_backend.writeAll(path, bytes, mode));
    }
    FileError createWhole(const QString& path, const QByteArray& bytes, const QString& scratch) override
    {
        QMutexLocker locker(&m_mutex);
        ++m_writes;
        if (!m_readOnly.isEmpty())
            return readOnlyError(path);
        if (!m_createAnswersLost.isEmpty()) {
            // The server carries out the exclusive create after the caller gave up waiting for its answer,
            // so the content never follows.
            const FileError created = m_backend.writeAll(path, {}, Create::newOnly);
            const QString message = m_createAnswersLost.arg(path);
            locker.unlock();
            stampedIfWritten(path, created);
            return {FileError::Kind::serverUnreachable, message};
        }
        locker.unlock();
        return stampedIfWritten(path, m_backend.createWhole(path, bytes, scratch));
    }
    FileError replace(const QString& source, const QString& target, const QString& aside) override
    {
        QMutexLocker locker(&m_mutex);
        if (!m_readOnly.isEmpty())
            return readOnlyError(target);
        if (!m_writeFailure.isEmpty())
            return {FileError::Kind::refused, m_writeFailure.arg(target)};
        if (const auto busy = takeBusy(m_busyReplaces, target))
            return *busy;
        locker.unlock();
        return m_backend.replace(source, target, aside);
    }
    FileError remove(const QString& path) override
    {
        QMutexLocker locker(&m_mutex);
        if (!m_readOnly.isEmpty())
            return readOnlyError(path);
        if (const auto busy = takeBusy(m_busyRemoves, path))
            return *busy;
        locker.unlock();
        return m_backend.remove(path);
    }
    FileTimeResult modificationTime(const QString& path) override { return m_backend.modificationTime(path); }
    QString messagePath(const QString& path) const override { return m_backend.messagePath(path); }
    FileListResult listBeside(const QString& path, const QString& prefix) override
    {
        return m_backend.listBeside(path, prefix);
    }

    // Each message may hold %1 for the path; an empty text ends the failure.
    // Reads of any file fail.
    void failReads(const QString& message) { set(m_readFailure, message); }
    // The rewritten file never replaces the log, as on a share that refuses it.
    void failWrites(const QString& message) { set(m_writeFailure, message); }
    // Nothing in the folder can be created, changed or removed.
    void makeReadOnly(const QString& message) { set(m_readOnly, message); }
    // Files created whole are created empty, and the caller hears nothing back.
    void loseCreateAnswers(const QString& message) { set(m_createAnswersLost, message); }
    // Writes of whole files stop half-way.
    void fillDiskDuringWrites(const QString& message) { set(m_diskFull, message); }
    // The next count calls report that another workstation has the file open.
    void busyFor(Operation operation, int count)
    {
        QMutexLocker locker(&m_mutex);
        switch (operation) {
        case Operation::read:
            m_busyReads = count;
            break;
        case Operation::replace:
            m_busyReplaces = count;
            break;
        case Operation::remove:
            m_busyRemoves = count;
            break;
        }
    }

    // Every file written through this gets its time from serverNow, as on a file server whose clock that
    // is; local backends only.
    void stampTimesFrom(std::function<QDateTime()> serverNow)
    {
        QMutexLocker locker(&m_mutex);
        m_serverNow = std::move(serverNow);
    }

    // Runs before each read with the path about to be read, as another writer's steps between them.
    void beforeEachRead(std::function<void(const QString& path)> action)
    {
        QMutexLocker locker(&m_mutex);
        m_beforeRead = std::move(action);
    }

    // The most bytes any one read brought in.
    qsizetype largestRead() const
    {
        QMutexLocker locker(&m_mutex);
        return m_largestRead;
    }
    int reads() const
    {
        QMutexLocker locker(&m_mutex);
        return m_reads;
    }
    // Attempts to change the share: every post and clear makes exactly one, by creating the lock that
    // guards its rewrite.
    int writes() const
    {
        QMutexLocker locker(&m_mutex);
        return m_writes;
    }

private:
    template <typename Read> FileReadResult read(const QString& path, Read backendRead)
    {
        QMutexLocker locker(&m_mutex);
        ++m_reads;
        if (!m_readFailure.isEmpty())
            return {{}, {FileError::Kind::other, m_readFailure.arg(path)}};
        if (const auto busy = takeBusy(m_busyReads, path))
            return {{}, *busy};
        const auto beforeRead = m_beforeRead;
        locker.unlock();
        if (beforeRead)
            beforeRead(path);
        FileReadResult result = backendRead();
        locker.relock();
        m_largestRead = std::max(m_largestRead, result.bytes.size());
        return result;
    }
    FileError stampedIfWritten(const QString& path, FileError written)
    {
        QMutexLocker locker(&m_mutex);
        const auto serverNow = m_serverNow;
        locker.unlock();
        if (serverNow && !written.failed()) {
            QFile file(LocalFileAccess::nativePath(path));
            if (file.open(QIODevice::Append))
                file.setFileTime(serverNow(), QFileDevice::FileModificationTime);
        }
        return written;
    }
    void set(QString& failure, const QString& message)
    {
        QMutexLocker locker(&m_mutex);
        failure = message;
    }
    static std::optional<FileError> takeBusy(int& remaining, const QString& path)
    {
        if (remaining <= 0)
            return std::nullopt;
        --remaining;
        return FileError{FileError::Kind::busy,
                         QStringLiteral("Cannot open %1: the file is in use by another process").arg(path)};
    }
    FileError readOnlyError(const QString& path) const
    {
        return {FileError::Kind::readOnly, m_readOnly.arg(path)};
    }

    mutable QMutex m_mutex;
    LocalFileAccess m_local;
    FileAccess& m_backend = m_local;
    QString m_readFailure;
    QString m_writeFailure;
    QString m_readOnly;
    QString m_diskFull;
    QString m_createAnswersLost;
    int m_busyReads = 0;
    int m_busyReplaces = 0;
    int m_busyRemoves = 0;
    std::function<void(const QString& path)> m_beforeRead;
    std::function<QDateTime()> m_serverNow;
    int m_reads = 0;
    qsizetype m_largestRead = 0;
    int m_writes = 0;
};
