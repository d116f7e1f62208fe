#pragma once

#include "platform/files/share_logins.h"

// Where the platform's own file API logs in to file servers, as Windows does with the user's session.
class NoShareLogins final : public ShareLogins
{
public:
    bool canNeedLogin(const QString&) const override { return false; }
    void remember(const QString&, const ShareLogin&) override {}

    static NoShareLogins& shared()
    {
        static NoShareLogins logins;
        return logins;
    }
};
