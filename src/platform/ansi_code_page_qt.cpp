#include "platform/ansi_code_page.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString AnsiCodePage::decode(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1252");
    return decoder.decode(bytes);
}

std::optional<QByteArray> AnsiCodePage::encode(QStringView text)
{
    QStringEncoder encoder("windows-1252");
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}
