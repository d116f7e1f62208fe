#include "support/samba_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int startMs = 10000;
constexpr int stopMs = 5000;
constexpr int helperMs = 20000;
// Long enough for another run's whole SMB test, short of CTest's limit for this one.
constexpr int addressClaimMs = 150000;
constexpr quint16 smbPort = 445;

// %1: the server's own folder, %2: the guest share, %3: the login share, %4: the address, %5: the login.
constexpr const char* serverConfig = R"([global]
    server role = standalone server
    workgroup = WORKGROUP
    netbios name = CHATSLATETEST
    interfaces = %4/8
    bind interfaces only = yes
    smb ports = 445
    disable netbios = yes
    multicast dns register = no
    dns proxy = no
    load printers = no
    printing = bsd
    printcap name = /dev/null
    disable spoolss = yes
    rpc start on demand helpers = no
    registry shares = no
    usershare path =
    lock directory = %1/lock
    state directory = %1/state
    cache directory = %1/cache
    private dir = %1/private
    pid directory = %1/pid
    ncalrpc dir = %1/ncalrpc
    binddns dir = %1/binddns
    winbindd socket directory = %1/winbindd
    ntp signd socket directory = %1/ntp_signd
    log file = %1/log.%m
    passdb backend = tdbsam:%1/private/passdb.tdb
    smb passwd file = %1/private/smbpasswd
    map to guest = bad user
    guest account = nobody
    map archive = no
    store dos attributes = no
    create mask = 0666
    directory mask = 0777

# smbd really is root and uid_wrapper only pretends to switch users. Working as root on the shares keeps
# smbd's own permission checks out of the way: files the test writes locally stay writable through SMB.
[Share]
    path = %2
    guest ok = yes
    read only = no
    force user = root

# The guest share's folder again, as a share that nobody may change.
[ReadOnly]
    path = %2
    guest ok = yes
    read only = yes
    force user = root

[Private]
    path = %3
    valid users = %5
    read only = no
    force user = root
)";

// Keeps clients away from /etc/samba/smb.conf and their caches away from /var. A server name is
// looked up in the lmhosts file only, so that no test ever asks DNS or broadcasts on a network.
constexpr const char* clientConfigText = R"([global]
    client min protocol = SMB2
    name resolve order = lmhosts
    cache directory = %1/cache
    lock directory = %1/lock
    state directory = %1/state
    private dir = %1/private
)";

QString latin1(const char* text)
{
    return QString::fromLatin1(text);
}

QString findProgram(const QString& name)
{
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty())
        return found;
    // A test runner's PATH may lack the sbin folders that smbd and smbpasswd live in.
    return QStandardPaths::findExecutable(
        name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"), QStringLiteral("/sbin")});
}

QString findLibrary(const QString& fileName)
{
    QStringList folders;
    const QStringList multiarch =
        QDir(QStringLiteral("/usr/lib")).entryList({QStringLiteral("*-linux-*")}, QDir::Dirs);
    for (const QString& triplet : multiarch)
        folders << QStringLiteral("/usr/lib/") + triplet;
    folders << QStringLiteral("/usr/lib64") << QStringLiteral("/usr/lib") << QStringLiteral("/usr/local/lib");
    for (const QString& folder : folders) {
        const QString candidate = folder + u'/' + fileName;
        if (QFile::exists(candidate))
            return candidate;
    }
    return {};
}

// 0 when something accepts connections on the server's address, else the errno of connect().
int probe()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(smbPort);
    ::inet_pton(AF_INET, SambaServer::address, &where.sin_addr);
    const int result =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

// Whether the process holds the socket listening on the server's address: another server may have taken
// the port between the check before the start and smbd's own attempt.
bool listensOnServerPort(qint64 pid)
{
    in_addr address{};
    ::inet_pton(AF_INET, SambaServer::address, &address);
    // /proc/net/tcp shows addresses and ports as hex numbers in host byte order; 0A is LISTEN.
    const QByteArray local = QByteArray::number(address.s_addr, 16).toUpper().rightJustified(8, '0') + ':' +
                             QByteArray::number(smbPort, 16).toUpper().rightJustified(4, '0');
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    QStringList sockets;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 9 && fields[1] == local && fields[3] == "0A")
            sockets << QStringLiteral("socket:[%1]").arg(QString::fromLatin1(fields[9]));
    }
    const QString descriptors = QStringLiteral("/proc/%1/fd/").arg(pid);
    const QStringList entries =
        QDir(descriptors).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        char target[64] = {};
        if (::readlink(QFile::encodeName(descriptors + entry).constData(), target, sizeof target - 1) > 0 &&
            sockets.contains(QString::fromLatin1(target)))
            return true;
    }
    return false;
}

// The fields of /proc/PID/stat after "pid (name) ", empty when the process is gone: the name may hold
// spaces and parentheses.
QList<QByteArray> statusAfterName(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

// Live processes of a session: smbd's forks stay in the session smbd leads, even after smbd is gone.
QList<pid_t> sessionMembers(qint64 session)
{
    QList<pid_t> members;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isNumber = false;
        const pid_t pid = entry.toInt(&isNumber);
        if (!isNumber)
            continue;
        const QList<QByteArray> fields = statusAfterName(pid);
        if (fields.size() > 3 && fields[0] != "Z" && fields[3].toLongLong() == session)
            members << pid;
    }
    return members;
}

bool writeText(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
}

} // namespace

SambaServer::SambaServer()
    : m_addressClaim(QDir::tempPath() + QStringLiteral("/chatslate-test-smbd-%1.lock").arg(latin1(address)))
{
    // Held for as long as the server may run, however long that is; a claim left by a dead run is
    // noticed through its process id.
    m_addressClaim.setStaleLockTime(0);
    m_setupError = writeFiles();
}

SambaServer::~SambaServer()
{
    stop();
}

QString SambaServer::guestFolder() const
{
    return path(latin1(guestShare));
}

QString SambaServer::loginFolder() const
{
    return path(latin1(loginShare));
}

QString SambaServer::homeFolder() const
{
    return path(QStringLiteral("home"));
}

QString SambaServer::clientConfig() const
{
    return homeFolder() + QStringLiteral("/.smb/smb.conf");
}

QString SambaServer::writeFiles() const
{
    if (!m_dir.isValid())
        return QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString();
    const QString server = path(QStringLiteral("samba"));
    const QString client = homeFolder() + QStringLiteral("/.smb");
    const QStringList folders{guestFolder(),
                              loginFolder(),
                              server + QStringLiteral("/lock"),
                              server + QStringLiteral("/state"),
                              server + QStringLiteral("/cache"),
                              server + QStringLiteral("/private"),
                              server + QStringLiteral("/pid"),
                              server + QStringLiteral("/ncalrpc"),
                              server + QStringLiteral("/binddns"),
                              server + QStringLiteral("/winbindd"),
                              server + QStringLiteral("/ntp_signd"),
                              client + QStringLiteral("/cache"),
                              client + QStringLiteral("/lock"),
                              client + QStringLiteral("/state"),
                              client + QStringLiteral("/private")};
    for (const QString& folder : folders) {
        if (!QDir().mkpath(folder))
            return QStringLiteral("cannot create ") + folder;
    }
    // The users smbd sees through nss_wrapper; the machine's own /etc/passwd stays out of it.
    const QString passwd = QStringLiteral("root:x:0:0:root:%1:/bin/false\n"
                                          "%2:x:1000:1000:%2:%1:/bin/false\n"
                                          "nobody:x:65534:65534:nobody:%1:/bin/false\n")
                               .arg(homeFolder(), latin1(loginUser));
    const QString group = QStringLiteral("root:x:0:\n%1:x:1000:\nnogroup:x:65534:\n").arg(latin1(loginUser));
    const QString config =
        latin1(serverConfig).arg(server, guestFolder(), loginFolder(), latin1(address), latin1(loginUser));
    const QList<std::pair<QString, QString>> files{{server + QStringLiteral("/passwd"), passwd},
                                                   {server + QStringLiteral("/group"), group},
                                                   {server + QStringLiteral("/smb.conf"), config},
                                                   {clientConfig(), latin1(clientConfigText).arg(client)}};
    for (const auto& [file, text] : files) {
        if (!writeText(file, text))
            return QStringLiteral("cannot write ") + file;
    }
    return {};
}

QProcessEnvironment SambaServer::serverEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), m_wrappers);
    environment.insert(QStringLiteral("NSS_WRAPPER_PASSWD"), path(QStringLiteral("samba/passwd")));
    environment.insert(QStringLiteral("NSS_WRAPPER_GROUP"), path(QStringLiteral("samba/group")));
    environment.insert(QStringLiteral("UID_WRAPPER"), QStringLiteral("1"));
    environment.insert(QStringLiteral("HOME"), homeFolder());
    return environment;
}

bool SambaServer::addLogin(const QString& smbpasswd, QString* whyNot)
{
    QProcess process;
    process.setProcessEnvironment(serverEnvironment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(smbpasswd, {QStringLiteral("-c"), path(QStringLiteral("samba/smb.conf")),
                              QStringLiteral("-a"), QStringLiteral("-s"), latin1(loginUser)});
    const QByteArray password = QByteArray(loginPassword) + '\n';
    process.write(password + password);
    process.closeWriteChannel();
    if (!process.waitForFinished(helperMs))
        process.kill();
    process.waitForFinished();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (whyNot) {
            *whyNot = QStringLiteral("smbpasswd could not add %1 (%2): %3")
                          .arg(latin1(loginUser), process.errorString(),
                               QString::fromLocal8Bit(process.readAll()).trimmed());
        }
        return false;
    }
    m_loginAdded = true;
    return true;
}

bool SambaServer::start(QString* whyNot)
{
    const auto fail = [whyNot](const QString& reason) {
        if (whyNot)
            *whyNot = reason;
        return false;
    };
    if (running())
        return true;
    if (!m_setupError.isEmpty())
        return fail(m_setupError);
    if (::geteuid() != 0)
        return fail(QStringLiteral("smbd must run as root to listen on port 445; this runs as uid %1")
                        .arg(::geteuid()));
    const QString smbd = findProgram(QStringLiteral("smbd"));
    if (smbd.isEmpty())
        return fail(QStringLiteral("smbd not found (Debian package samba)"));
    const QString smbpasswd = findProgram(QStringLiteral("smbpasswd"));
    if (smbpasswd.isEmpty())
        return fail(QStringLiteral("smbpasswd not found (Debian package samba-common-bin)"));
    const QString nssWrapper = findLibrary(QStringLiteral("libnss_wrapper.so"));
    if (nssWrapper.isEmpty())
        return fail(QStringLiteral("libnss_wrapper.so not found (Debian package libnss-wrapper)"));
    const QString uidWrapper = findLibrary(QStringLiteral("libuid_wrapper.so"));
    if (uidWrapper.isEmpty())
        return fail(QStringLiteral("libuid_wrapper.so not found (Debian package libuid-wrapper)"));
    m_wrappers = nssWrapper + u':' + uidWrapper;
    if (!m_loginAdded && !addLogin(smbpasswd, whyNot))
        return false;
    if (!m_addressClaim.isLocked() && !m_addressClaim.tryLock(addressClaimMs))
        return fail(QStringLiteral("another test run kept %1:445 for over %2 s (lock file %3)")
                        .arg(latin1(address))
                        .arg(addressClaimMs / 1000)
                        .arg(m_addressClaim.fileName()));

    const int before = probe();
    if (before == 0)
        return fail(
            QStringLiteral("something already listens on %1:445 (another smbd?)").arg(latin1(address)));
    if (before != ECONNREFUSED)
        return fail(
            QStringLiteral("cannot reach %1: %2").arg(latin1(address), latin1(std::strerror(before))));

    m_smbd = std::make_unique<QProcess>();
    m_smbd->setProgram(smbd);
    m_smbd->setArguments({QStringLiteral("--foreground"), QStringLiteral("--no-process-group"),
                          QStringLiteral("--debug-stdout"), QStringLiteral("-s"),
                          path(QStringLiteral("samba/smb.conf"))});
    m_smbd->setProcessEnvironment(serverEnvironment());
    m_smbd->setProcessChannelMode(QProcess::MergedChannels);
    m_smbd->setStandardInputFile(QProcess::nullDevice());
    m_smbd->setStandardOutputFile(path(QStringLiteral("samba/smbd.log")), QIODevice::Append);
    // smbd signals its whole process group when it stops, which must not reach the test: it gets a session
    // of its own. And it goes down with the test even when the test crashes.
    m_smbd->setChildProcessModifier([] {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_smbd->start();
    if (!m_smbd->waitForStarted(startMs)) {
        const QString reason = QStringLiteral("cannot run %1: %2").arg(smbd, m_smbd->errorString());
        m_smbd.reset();
        return fail(reason);
    }
    m_session = m_smbd->processId();
    return waitUntilListening(whyNot);
}

bool SambaServer::waitUntilListening(QString* whyNot)
{
    QString reason;
    QElapsedTimer clock;
    clock.start();
    while (reason.isEmpty()) {
        if (listensOnServerPort(m_session) && probe() == 0)
            return true;
        if (m_smbd->waitForFinished(50))
            reason = m_smbd->exitStatus() == QProcess::NormalExit
                         ? QStringLiteral("smbd stopped at start with exit code %1").arg(m_smbd->exitCode())
                         : QStringLiteral("smbd crashed at start");
        else if (clock.elapsed() > startMs)
            reason = QStringLiteral("smbd did not accept connections on %1:445 within %2 s")
                         .arg(latin1(address))
                         .arg(startMs / 1000);
    }
    if (whyNot)
        *whyNot = reason + QStringLiteral("; its log ends:\n") + logTail();
    stop();
    return false;
}

void SambaServer::stop()
{
    if (m_smbd && m_smbd->state() != QProcess::NotRunning) {
        // The whole group at once, while its leader still holds the id.
        ::kill(-static_cast<pid_t>(m_session), SIGTERM);
        if (!m_smbd->waitForFinished(stopMs)) {
            ::kill(-static_cast<pid_t>(m_session), SIGKILL);
            m_smbd->waitForFinished(stopMs);
        }
    }
    m_smbd.reset();
    if (m_session == 0)
        return;
    QElapsedTimer clock;
    clock.start();
    for (QList<pid_t> left = sessionMembers(m_session); !left.isEmpty() && clock.elapsed() < stopMs;
         left = sessionMembers(m_session)) {
        for (const pid_t pid : left)
            ::kill(pid, SIGKILL);
        QThread::msleep(20);
    }
    m_session = 0;
}

void SambaServer::freeze(bool frozen)
{
    if (m_session == 0)
        return;
    for (const pid_t pid : sessionMembers(m_session))
        ::kill(pid, frozen ? SIGSTOP : SIGCONT);
}

SambaServer::Load SambaServer::load() const
{
    Load load;
    const double ticksPerSecond = double(::sysconf(_SC_CLK_TCK));
    for (const pid_t pid : sessionMembers(m_session)) {
        const QString folder = QStringLiteral("/proc/%1/").arg(pid);
        QFile io(folder + QStringLiteral("io"));
        if (io.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : io.readAll().split('\n')) {
                if (line.startsWith("rchar: "))
                    load.bytesRead += line.mid(7).toLongLong();
            }
        }
        // utime and stime are the 14th and 15th fields, the 12th and 13th after the name.
        const QList<QByteArray> fields = statusAfterName(pid);
        if (fields.size() > 12)
            load.cpuSeconds += (fields[11].toLongLong() + fields[12].toLongLong()) / ticksPerSecond;
    }
    return load;
}

bool SambaServer::running() const
{
    return m_smbd && m_smbd->state() == QProcess::Running;
}

QString SambaServer::logTail(int lines) const
{
    QFile file(path(QStringLiteral("samba/smbd.log")));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(no log)");
    const QStringList all = QString::fromLocal8Bit(file.readAll()).split(u'\n');
    return all.mid(qMax(0, all.size() - lines)).join(u'\n');
}

int SambaServer::smbclient(const QString& share, const QStringList& arguments, bool withLogin,
                           QString* output) const
{
    const auto report = [output](const QString& text) {
        if (output)
            *output = text;
    };
    const QString program = findProgram(QStringLiteral("smbclient"));
    if (program.isEmpty()) {
        report(QStringLiteral("smbclient not found (Debian package smbclient)"));
        return -1;
    }
    QStringList all{QStringLiteral("//%1/%2").arg(latin1(address), share), QStringLiteral("-s"),
                    clientConfig()};
    if (withLogin)
        all << QStringLiteral("-U") << latin1(loginUser) + u'%' + latin1(loginPassword);
    else
        all << QStringLiteral("-N");
    all << arguments;

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), homeFolder());
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, all);
    if (!process.waitForStarted(helperMs)) {
        report(QStringLiteral("cannot run %1: %2").arg(program, process.errorString()));
        return -1;
    }
    const bool finished = process.waitForFinished(helperMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    QString text = QString::fromLocal8Bit(process.readAll());
    if (!finished)
        text += QStringLiteral("\nsmbclient did not finish within %1 s (%2)")
                    .arg(helperMs / 1000)
                    .arg(process.errorString());
    report(text);
    return finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
