#include "livelog/code_page.h"

#include "platform/ansi_code_page.h"

QString CodePage::decode(const QByteArray& bytes)
{
    return AnsiCodePage::decode(bytes);
}

CodePage::Encoded CodePage::encode(const QString& text)
{
    Encoded result;
    if (std::optional<QByteArray> bytes = AnsiCodePage::encode(text)) {
        result.bytes = std::move(*bytes);
        return result;
    }

    // Encode character by character to learn which ones the code page lacks; only the own text of a
    // post comes here, which is short.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView character = QStringView(text).mid(i, length);
        if (const std::optional<QByteArray> bytes = AnsiCodePage::encode(character)) {
            result.bytes.append(*bytes);
        } else {
            result.bytes.append('?');
            if (!result.unencodable.contains(character))
                result.unencodable.append(character);
        }
        i += length;
    }
    return result;
}
