#include "platform/files/local_file_access.h"
#include "support/identity_checks.h"

#include <QTemporaryDir>
#include <QTest>

class FileIdentityTest : public QObject
{
    Q_OBJECT

private slots:
    void localFilesFollowTheFile()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        LocalFileAccess files;
        const QString log = folder.filePath(QStringLiteral("CHATSLATE-LIVE.LOG"));
        checkIdentityFollowsTheFile(files, log, log);

        QByteArray buffer;
        QCOMPARE(
            files.readIfChanged(folder.filePath(QStringLiteral("none")), std::nullopt, buffer).error.kind,
            FileError::Kind::missing);
    }
};

QTEST_GUILESS_MAIN(FileIdentityTest)
#include "tst_file_identity.moc"
