#include "livelog/code_page.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

QStringDecoder makeDecoder()
{
#if defined(Q_OS_WIN)
    return QStringDecoder(QStringConverter::System);
#else
    return QStringDecoder("windows-1252");
#endif
}

QStringEncoder makeEncoder()
{
#if defined(Q_OS_WIN)
    return QStringEncoder(QStringConverter::System);
#else
    return QStringEncoder("windows-1252");
#endif
}

} // namespace

QString CodePage::decode(const QByteArray& bytes)
{
    QStringDecoder decoder = makeDecoder();
    return decoder.decode(bytes);
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
    QStringEncoder encoder = makeEncoder();
    result.bytes = encoder.encode(text);
    if (!encoder.hasError() && !hasLoneSurrogate(text))
        return result;

    // Encode character by character to learn which ones the code page lacks; only the own text of a
    // post comes here, which is short.
    result.bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = startsPair(text, i) ? 2 : 1;
        const QStringView character = QStringView(text).mid(i, length);
        QStringEncoder single = makeEncoder();
        const QByteArray bytes = single.encode(character);
        if (single.hasError() || hasLoneSurrogate(character)) {
            result.bytes.append('?');
            if (!result.unencodable.contains(character))
                result.unencodable.append(character);
        } else {
            result.bytes.append(bytes);
        }
        i += length;
    }
    return result;
}
