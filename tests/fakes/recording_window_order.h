#pragma once

#include "platform/window_order/window_order.h"

#include <QList>
#include <QString>
#include <QStringList>

// Test implementation: answers foreground() from a list (the last answer repeats) and records every
// call in order, as "foreground", "drop <window>" and "topmost <window>".
class RecordingWindowOrder final : public WindowOrder
{
public:
    NativeWindow foreground() override
    {
        m_calls << QStringLiteral("foreground");
        if (m_answers.isEmpty())
            return 0;
        return m_answers.size() > 1 ? m_answers.takeFirst() : m_answers.first();
    }
    void dropTopmost(NativeWindow window) override { m_calls << QStringLiteral("drop %1").arg(window); }
    void makeTopmost(NativeWindow window) override { m_calls << QStringLiteral("topmost %1").arg(window); }

    void setForeground(QList<NativeWindow> answers) { m_answers = std::move(answers); }
    QStringList& calls() { return m_calls; }

private:
    QList<NativeWindow> m_answers;
    QStringList m_calls;
};
