#pragma once

#include <QLockFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A throwaway Samba server on 127.0.0.2:445 for the tests and benchmarks of the SMB file backend. Its
// configuration, users, databases, logs and share folders all live in one temporary folder; nothing on the
// machine outside it is written. Needs root (port 445) and the samba and libnss-wrapper/libuid-wrapper
// packages; start() says in plain words why it could not run, so a test can skip with the reason. Runs on one
// machine take turns: a second run waits in start() until the first has let go of the address.
//
// The server offers files only: samba-dcerpcd is not started (its helpers always log under
// /var/log/samba), so listing the shares of smb://127.0.0.2/ returns nothing.
class SambaServer
{
public:
    static constexpr const char* address = "127.0.0.2";
    static constexpr const char* guestShare = "Share";       // guest ok, writable
    static constexpr const char* loginShare = "Private";     // only for loginUser
    static constexpr const char* readOnlyShare = "ReadOnly"; // guest ok, the guest share's folder, read-only
    static constexpr const char* loginUser = "slate";
    static constexpr const char* loginPassword = "Slate-Pass-7";

    SambaServer();
    ~SambaServer();
    SambaServer(const SambaServer&) = delete;
    SambaServer& operator=(const SambaServer&) = delete;

    // Starts smbd and waits until it accepts connections. Can be called again after stop(): the folders and
    // their files are kept.
    bool start(QString* whyNot);
    // Stops smbd and every process it forked, and waits for them.
    void stop();
    bool running() const;
    // A frozen server keeps its connections and accepts new ones, but answers nothing: a server that
    // hangs, or a network that drops every packet.
    void freeze(bool frozen);

    // What smbd and its forks have done since they started: bytes read by their system calls (the files
    // served and the requests) and CPU time.
    struct Load
    {
        qint64 bytesRead = 0;
        double cpuSeconds = 0;
    };
    Load load() const;

    QString guestFolder() const;
    QString loginFolder() const;
    // HOME for clients: holds .smb/smb.conf, which libsmbclient reads instead of /etc/samba/smb.conf.
    QString homeFolder() const;
    QString clientConfig() const;
    QString logTail(int lines = 30) const;

    // Runs Samba's smbclient against //127.0.0.2/share, as guest or as loginUser, with HOME=homeFolder().
    // Returns its exit code, or -1 when it could not run or took too long.
    int smbclient(const QString& share, const QStringList& arguments, bool withLogin,
                  QString* output = nullptr) const;

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString writeFiles() const;
    QProcessEnvironment serverEnvironment() const;
    bool addLogin(const QString& smbpasswd, QString* whyNot);
    bool waitUntilListening(QString* whyNot);

    QTemporaryDir m_dir;
    QLockFile m_addressClaim;
    QString m_setupError;
    QString m_wrappers;
    std::unique_ptr<QProcess> m_smbd;
    qint64 m_session = 0;
    bool m_loginAdded = false;
};
