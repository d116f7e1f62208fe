#pragma once

#include "platform/files/file_access.h"
#include "platform/files/share_logins.h"

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

private:
    QLineEdit* m_user = nullptr;
    QLineEdit* m_domain = nullptr;
    QLineEdit* m_password = nullptr;
};
