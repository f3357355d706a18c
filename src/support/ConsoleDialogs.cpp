#include "support/ConsoleDialogs.h"

Dialogs::Answer ConsoleDialogs::message(Kind, const QString &, const QString &text, Buttons, Answer defaultAnswer)
{
    const QByteArray bytes = (text + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_stream);
    return defaultAnswer;
}
