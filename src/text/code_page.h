#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit code page the live log is written in: the ANSI code page on Windows, Windows-1252
// elsewhere, so that Linux and Windows workstations read each other's entries.
namespace CodePage {

// Every byte decodes (the five bytes Windows-1252 leaves undefined become the matching C1 controls),
// so reading never fails on content.
QString decode(const QByteArray& bytes);

struct Encoded
{
    QByteArray bytes;
    // The distinct characters the code page cannot hold, in order of first appearance; each was
    // written as "?", the byte a Windows copy writes for them.
    QString unencodable;
};

Encoded encode(const QString& text);

} // namespace CodePage
