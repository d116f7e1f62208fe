#pragma once

#include "platform/files/file_access.h"
#include "platform/files/share_logins.h"
#include "windows/common/background_job.h"

#include <QDialog>

class QLabel;
class QLineEdit;

// Asks for the login to a file server's share after the server refused the last one. Nothing typed here
// is stored anywhere but in memory, for this run.
class LoginDialog final : public QDialog
{
    Q_OBJECT

public:
    LoginDialog(const QString& shareLocation, const QString& reason, QWidget* parent);

    ShareLogin login() const;

    // Shows the dialog; when the user gives a login, remembers it for the share and returns true.
    static bool askAndRemember(QWidget* parent, ShareLogins& logins, const QString& shareLocation,
                               const FileError& error);

    // Runs work on job until it no longer needs a login or the user gives none, then done with the last
    // result. The dialog opens here between tries, never while the file server's library is at work.
    template <typename Work, typename Done>
    static void retryWithLogin(BackgroundJob& job, QWidget* parent, ShareLogins& logins,
                               const QString& shareLocation, Work work, Done done)
    {
        job.run(work, [&job, parent, &logins, shareLocation, work, done](const auto& result) {
            if (errorOf(result).is(FileError::Kind::loginNeeded) &&
                askAndRemember(parent, logins, shareLocation, errorOf(result)))
                retryWithLogin(job, parent, logins, shareLocation, work, done);
            else
                done(result);
        });
    }

private:
    QLineEdit* m_user = nullptr;
    QLineEdit* m_domain = nullptr;
    QLineEdit* m_password = nullptr;
};
