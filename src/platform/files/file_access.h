#pragma once

#include "platform/files/file_failure.h"
#include "platform/files/file_identity.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <type_traits>

// What a file operation reports: on failure what went wrong, decided once by the backend that ran it,
// and a sentence for the user that names the path.
struct FileError
{
    using Kind = FileFailure;

    Kind kind = Kind::none;
    QString message;

    bool failed() const { return kind != Kind::none; }
    bool is(Kind wanted) const { return kind == wanted; }
};

// The error of any result of a file operation: a FileError itself, a result that holds one, or one
// that works it out.
template <typename Result> const FileError& errorOf(const Result& result)
{
    if constexpr (std::is_same_v<Result, FileError>)
        return result;
    else if constexpr (requires { result.error(); })
        return result.error();
    else
        return result.error;
}

struct FileReadResult
{
    QByteArray bytes;
    FileError error;
};

struct FileRereadResult
{
    // The file still has the identity the caller knew: nothing was read, and the buffer is as it was.
    bool unchanged = false;
    // Of the file as it was opened for this read; none from a backend that cannot tell.
    std::optional<FileIdentity> identity;
    FileError error;
};

struct FileTimeResult
{
    // Milliseconds since 1970 by the clock of the machine that stores the file, which is the only clock
    // all workstations share.
    qint64 msecsSinceEpoch = 0;
    FileError error;
};

struct FileListResult
{
    QStringList names;
    FileError error;
};

// Single operations on files on local and network paths, each complete when it returns. Paths are given
// as the user wrote them (with backslashes); each implementation maps them to what its platform opens.
// Everything the live log's lock and rewrite need is expressed in these operations, so that any backend
// that offers them carries the same protection.
class FileAccess
{
public:
    enum class Create
    {
        // Fails with alreadyExists when the file is there: exclusive create, which also holds on SMB2/3
        // and NFSv3 and later.
        newOnly,
        replacingContent,
    };

    virtual ~FileAccess() = default;

    // The path as this backend's messages name it, for messages about it made elsewhere.
    virtual QString messagePath(const QString& path) const { return path; }

    // Reads until the end of the file, whatever size the file system reported before.
    virtual FileReadResult readAll(const QString& path) = 0;
    // Opens the file as readAll does and reads it whole into buffer, in place of what the buffer held (its
    // memory is reused where the backend can), unless the open file's identity equals known. On failure
    // the buffer's content is undefined. A backend without identities reads whole every time.
    virtual FileRereadResult readIfChanged(const QString& path, const std::optional<FileIdentity>& known,
                                           QByteArray& buffer)
    {
        Q_UNUSED(known);
        FileReadResult whole = readAll(path);
        buffer = std::move(whole.bytes);
        return {false, std::nullopt, whole.error};
    }
    // Reads at most the first maxBytes bytes, for a file that is only looked into and may be anything,
    // such as a lock. A backend that cannot stop early reads it all and drops the rest.
    virtual FileReadResult readStart(const QString& path, qsizetype maxBytes)
    {
        FileReadResult result = readAll(path);
        result.bytes.truncate(maxBytes);
        return result;
    }

    // Writes the whole content and flushes it to the storage before it returns. A newOnly file that could
    // not be written whole is removed again.
    virtual FileError writeAll(const QString& path, const QByteArray& bytes, Create mode) = 0;

    // Creates path with the whole content unless it exists (alreadyExists), so that others see it whole
    // or not at all: the content goes to scratch, a name of the caller's own, which then takes the name
    // path without replacing anything. A backend that cannot do that creates path exclusively and then
    // writes it, which a crash or a lost connection in between leaves empty.
    virtual FileError createWhole(const QString& path, const QByteArray& bytes, const QString& scratch)
    {
        Q_UNUSED(scratch);
        return writeAll(path, bytes, Create::newOnly);
    }

    // Renames source over target, so a reader sees either the old or the new target. The target keeps its
    // permission bits. A backend whose rename cannot do that in one step moves the old target to aside
    // first and removes it after: while the target is missing, that file holds it.
    virtual FileError replace(const QString& source, const QString& target, const QString& aside) = 0;

    // Removes a file; a backend may also remove an empty folder in its place.
    virtual FileError remove(const QString& path) = 0;

    virtual FileTimeResult modificationTime(const QString& path) = 0;

    // Names of the files in the folder that holds path whose names start with prefix.
    virtual FileListResult listBeside(const QString& path, const QString& prefix) = 0;
};
