#include "platform/ansi_code_page.h"

#include <QStringDecoder>
#include <windows.h>

QString AnsiCodePage::decode(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::System);
    return decoder.decode(bytes);
}

// Not Qt's system encoder: it maps best fit ("ā" to "a") and ignores the used-default flag, so a
// character the code page lacks would be written as "?" without anyone being told.
std::optional<QByteArray> AnsiCodePage::encode(QStringView text)
{
    if (text.isEmpty())
        return QByteArray();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = int(text.size());
    // UTF-8 as the ANSI code page holds every character and takes neither the flag nor the
    // used-default question.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultQuestion = utf8 ? nullptr : &usedDefault;
    const int size =
        WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, usedDefaultQuestion);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    WideCharToMultiByte(CP_ACP, flags, wide, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}
