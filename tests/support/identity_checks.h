#pragma once

#include "platform/files/file_access.h"
#include "support/log_file.h"

#include <QFile>
#include <QTest>

// What a backend's readIfChanged must tell of one file, reached as path through files and as onDisk
// directly: the same file reads nothing, a rewrite in place of another size and a replace by a new file
// of the same size and time read it whole.
inline void checkIdentityFollowsTheFile(FileAccess& files, const QString& path, const QString& onDisk)
{
    writeLogFile(onDisk, "first \r\n");
    QByteArray buffer;
    const FileRereadResult first = files.readIfChanged(path, std::nullopt, buffer);
    QVERIFY2(!first.error.failed(), qPrintable(first.error.message));
    QVERIFY(first.identity && !first.unchanged);
    QCOMPARE(buffer, QByteArray("first \r\n"));

    buffer = "kept";
    const FileRereadResult same = files.readIfChanged(path, first.identity, buffer);
    QVERIFY(same.unchanged);
    QCOMPARE(same.identity, first.identity);
    QCOMPARE(buffer, QByteArray("kept"));

    {
        QFile file(onDisk);
        QVERIFY(file.open(QIODevice::Append));
        QVERIFY(file.write("more") == 4);
    }
    const FileRereadResult grown = files.readIfChanged(path, first.identity, buffer);
    QVERIFY(!grown.unchanged && grown.identity);
    QCOMPARE(buffer, QByteArray("first \r\nmore"));

    const QString replacement = onDisk + QStringLiteral(".NEW");
    writeLogFile(replacement, "FIRST \r\nMORE");
    {
        QFile original(onDisk);
        QFile file(replacement);
        QVERIFY(original.open(QIODevice::ReadOnly) && file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(original.fileTime(QFileDevice::FileModificationTime),
                                 QFileDevice::FileModificationTime));
    }
    QVERIFY(QFile::remove(onDisk) && QFile::rename(replacement, onDisk));
    const FileRereadResult replaced = files.readIfChanged(path, grown.identity, buffer);
    QVERIFY(!replaced.unchanged);
    QCOMPARE(buffer, QByteArray("FIRST \r\nMORE"));
}
