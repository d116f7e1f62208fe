#pragma once

#include <QString>

struct ShareLogin
{
    QString user;
    QString domain;
    QString password;
};

// Where the login a user gives for a file server's share is kept: in memory, for this run only, never in
// the settings store or any file.
class ShareLogins
{
public:
    virtual ~ShareLogins() = default;
    // Only \\SERVER\Share locations can need a login.
    virtual bool canNeedLogin(const QString& shareLocation) const = 0;
    // The login to use from now on for the share that holds shareLocation.
    virtual void remember(const QString& shareLocation, const ShareLogin& login) = 0;
};
