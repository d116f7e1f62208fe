#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

// Puts a log in a test's share folder as another workstation would, bypassing the program.
inline void writeLogFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The log in a test's share folder as another workstation reads it, or missing when there is none.
inline QByteArray readLogFile(const QString& path, const QByteArray& missing)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : missing;
}
