#include "text/code_page.h"

#include "platform/ansi_code_page.h"

QString CodePage::decode(const QByteArray& bytes)
{
    return AnsiCodePage::decode(bytes);
}

namespace {

// A surrogate without its partner is no character at all; encoders either drop it or, waiting for the
// partner, swallow what follows.
bool startsPair(QStringView text, qsizetype i)
{
    return text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
}

bool hasLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (startsPair(text, i))
            ++i;
        else if (text.at(i).isSurrogate())
            return true;
    }
    return false;
}

} // namespace

CodePage::Encoded CodePage::encode(const QString& text)
{
    Encoded result;
    std::optional<QByteArray> whole = AnsiCodePage::encode(text);
    if (whole && !hasLoneSurrogate(text)) {
        result.bytes = std::move(*whole);
        return result;
    }

    // Encode character by character to learn which ones the code page lacks; only the own text of a
    // post comes here, which is short.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = startsPair(text, i) ? 2 : 1;
        const QStringView character = QStringView(text).mid(i, length);
        const std::optional<QByteArray> bytes = AnsiCodePage::encode(character);
        if (bytes && !hasLoneSurrogate(character)) {
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
