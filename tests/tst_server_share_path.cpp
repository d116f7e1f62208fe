#include "platform/files/server_share_path.h"

#include <QTest>

class ServerSharePathTest : public QObject
{
    Q_OBJECT

private slots:
    void mapsToSmbUrl_data();
    void mapsToSmbUrl();
};

void ServerSharePathTest::mapsToSmbUrl_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("shareLocation");

    QTest::newRow("live log") << "\\\\SERVER\\Share\\CHATSLATE-LIVE.LOG"
                              << QByteArray("smb://SERVER/Share/CHATSLATE-LIVE.LOG") << "\\\\SERVER\\Share";
    QTest::newRow("address") << "\\\\127.0.0.2\\Share\\CHATSLATE-LIVE.LOG"
                             << QByteArray("smb://127.0.0.2/Share/CHATSLATE-LIVE.LOG")
                             << "\\\\127.0.0.2\\Share";
    QTest::newRow("share ending in a backslash")
        << "\\\\SERVER\\Share\\\\CHATSLATE-LIVE.LOG" << QByteArray("smb://SERVER/Share/CHATSLATE-LIVE.LOG")
        << "\\\\SERVER\\Share";
    QTest::newRow("forward slashes") << "\\\\SERVER/Share/Chat/CHATSLATE-LIVE.LOG"
                                     << QByteArray("smb://SERVER/Share/Chat/CHATSLATE-LIVE.LOG")
                                     << "\\\\SERVER\\Share";
    QTest::newRow("characters a URL must encode")
        << QStringLiteral("\\\\SERVER\\Team Chat #1\\Caf\u00e9 100%\\CHATSLATE-LIVE.LOG")
        << QByteArray("smb://SERVER/Team%20Chat%20%231/Caf%C3%A9%20100%25/CHATSLATE-LIVE.LOG")
        << QStringLiteral("\\\\SERVER\\Team Chat #1");
    QTest::newRow("a separator inside an element cannot sneak in")
        << "\\\\SERVER\\Share\\a?b\\CHATSLATE-LIVE.LOG"
        << QByteArray("smb://SERVER/Share/a%3Fb/CHATSLATE-LIVE.LOG") << "\\\\SERVER\\Share";
    QTest::newRow("share only") << "\\\\SERVER\\Share" << QByteArray("smb://SERVER/Share")
                                << "\\\\SERVER\\Share";
}

void ServerSharePathTest::mapsToSmbUrl()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, url);
    QFETCH(QString, shareLocation);
    QVERIFY(ServerSharePath::isServerSharePath(path));
    const ServerSharePath parsed = ServerSharePath::parse(path);
    QCOMPARE(parsed.smbUrl(), url);
    QCOMPARE(parsed.shareLocation(), shareLocation);
    if (!parsed.elements.isEmpty())
        QVERIFY(url.startsWith(QByteArray(parsed.folder().smbUrl() + '/')));

    QVERIFY(!ServerSharePath::isServerSharePath(QStringLiteral("/mnt/share")));
    QVERIFY(!ServerSharePath::isServerSharePath(QStringLiteral("C:\\Share")));
}

QTEST_GUILESS_MAIN(ServerSharePathTest)
#include "tst_server_share_path.moc"
