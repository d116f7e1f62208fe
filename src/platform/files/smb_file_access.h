#pragma once

#include "platform/files/file_access.h"
#include "platform/files/share_logins.h"
#include "platform/files/smb_context.h"

#include <functional>

// Files on \\SERVER\Share paths reached through libsmbclient, for systems whose own file API does not
// open such paths. Nothing needs to be mounted. Each call owns what it touches, as a call given up on
// goes on in the library after it has returned. createWhole keeps the exclusive create then write: the
// library has no hard links, and its rename deletes an existing target rather than failing.
class SmbFileAccess final : public FileAccess, public ShareLogins
{
public:
    FileReadResult readAll(const QString& path) override;
    FileRereadResult readIfChanged(const QString& path, const std::optional<FileIdentity>& known,
                                   QByteArray& buffer) override;
    FileReadResult readStart(const QString& path, qsizetype maxBytes) override;
    FileError writeAll(const QString& path, const QByteArray& bytes, Create mode) override;
    FileError replace(const QString& source, const QString& target, const QString& aside) override;
    FileError remove(const QString& path) override;
    FileTimeResult modificationTime(const QString& path) override;
    FileListResult listBeside(const QString& path, const QString& prefix) override;

    bool canNeedLogin(const QString& shareLocation) const override;
    void remember(const QString& shareLocation, const ShareLogin& login) override;

private:
    // Whether the call that failed was to change the share: a guest refused a change hears more.
    enum class Effect
    {
        looks,
        changes,
    };
    FileError failure(const QString& action, Effect effect, const QString& path, int errorNumber);
    int runFor(const QString& path, const std::function<int(SMBCCTX*)>& call);

    SmbContext m_library;
};
