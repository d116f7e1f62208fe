#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

// The workstation's 8-bit code page for non-Unicode text: the ANSI code page on Windows,
// Windows-1252 elsewhere.
namespace AnsiCodePage {

QString decode(const QByteArray& bytes);

// The bytes of text, or nothing when the code page lacks one of its characters: no best-fit
// look-alikes, no silent default character.
std::optional<QByteArray> encode(QStringView text);

} // namespace AnsiCodePage
