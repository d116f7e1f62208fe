#include "windows/common/login_dialog.h"

#include "text/message_text.h"
#include "windows/common/modal_frame.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* field(QWidget* parent, const QString& name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAccessibleName(name);
    return edit;
}

} // namespace

LoginDialog::LoginDialog(const QString& shareLocation, const QString& reason, QWidget* parent)
    : QDialog(parent)
{
    ModalFrame::closeButtonOnly(this);
    setObjectName(QStringLiteral("LOGIN_DIALOG"));
    setWindowTitle(QStringLiteral("BD-ChatSlate - Log In To %1").arg(shareLocation));

    auto* explanation = new QLabel(
        MessageText::withAdvice(reason, QStringLiteral("Enter the user name and password for %1. They "
                                                       "are kept only until BD-ChatSlate ends.")
                                            .arg(shareLocation)),
        this);
    explanation->setObjectName(QStringLiteral("LOGIN_REASON_LABEL"));
    explanation->setWordWrap(true);

    m_user = field(this, QStringLiteral("LOGIN_USER_TEXTBOX"));
    m_domain = field(this, QStringLiteral("LOGIN_DOMAIN_TEXTBOX"));
    m_password = field(this, QStringLiteral("LOGIN_PASSWORD_TEXTBOX"));
    m_password->setEchoMode(QLineEdit::Password);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&User:"), m_user);
    form->addRow(QStringLiteral("&Domain (may be empty):"), m_domain);
    form->addRow(QStringLiteral("&Password:"), m_password);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("LOGIN_OK_BUTTON"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Log In"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("LOGIN_CANCEL_BUTTON"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(buttons);
    // Fixed in size, as every dialog of the program: no window manager then offers to maximise it.
    explanation->setMinimumWidth(400);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

ShareLogin LoginDialog::login() const
{
    return {m_user->text(), m_domain->text(), m_password->text()};
}

bool LoginDialog::askAndRemember(QWidget* parent, ShareLogins& logins, const QString& shareLocation,
                                 const FileError& error)
{
    if (!logins.canNeedLogin(shareLocation))
        return false;
    LoginDialog dialog(shareLocation, error.message, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    logins.remember(shareLocation, dialog.login());
    return true;
}
