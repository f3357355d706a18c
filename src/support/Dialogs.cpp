#include "support/Dialogs.h"

void Dialogs::ShowMsg(const QString &text)
{
    message(Kind::Plain, m_title, text, Buttons::Ok, Answer::Ok);
}

void Dialogs::ShowInt(long long value)
{
    ShowMsg(QString::number(value));
}

void Dialogs::ShowNumber(unsigned long long value)
{
    ShowMsg(QString::number(value));
}

void Dialogs::ShowErrorMsg(const QString &text)
{
    message(Kind::Error, QStringLiteral("Error"), text, Buttons::Ok, Answer::Ok);
}

void Dialogs::ShowWarningMsg(const QString &text)
{
    message(Kind::Warning, QStringLiteral("Warning"), text, Buttons::Ok, Answer::Ok);
}

void Dialogs::ShowInfoMsg(const QString &text)
{
    message(Kind::Information, QStringLiteral("Information"), text, Buttons::Ok, Answer::Ok);
}

bool Dialogs::AskYesNo(const QString &text)
{
    return message(Kind::Warning, QStringLiteral("Warning"), text, Buttons::YesNo, Answer::Yes) == Answer::Yes;
}
