#include "FakeDialogs.h"

Dialogs::Answer FakeDialogs::message(Kind kind, const QString &caption, const QString &text, Buttons buttons, Answer)
{
    shown.append({kind, caption, text, buttons});
    if (!answers.isEmpty())
        return answers.dequeue();
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::YesNo:
        return Answer::No;
    case Buttons::YesNoCancel:
    case Buttons::OkCancel:
        return Answer::Cancel;
    }
    return Answer::Cancel;
}

std::optional<QString> FakeDialogs::inputQuery(const QString &caption, const QString &prompt, const QString &value)
{
    asked << caption + QLatin1Char('|') + prompt + QLatin1Char('|') + value;
    return inputs.isEmpty() ? std::nullopt : inputs.dequeue();
}

QString FakeDialogs::openFileName(const QString &caption, const QString &folder, const QString &)
{
    asked << caption + QLatin1Char('|') + folder;
    return fileNames.isEmpty() ? QString() : fileNames.dequeue();
}

QString FakeDialogs::saveFileName(const QString &caption, const QString &path, const QString &, QString *selectedFilter)
{
    asked << caption + QLatin1Char('|') + path;
    if (selectedFilter && !selectedFilters.isEmpty())
        *selectedFilter = selectedFilters.dequeue();
    return fileNames.isEmpty() ? QString() : fileNames.dequeue();
}

std::optional<std::uint32_t> FakeDialogs::chooseColor(std::uint32_t)
{
    return colors.isEmpty() ? std::nullopt : colors.dequeue();
}

std::optional<Dialogs::FontChoice> FakeDialogs::chooseFont()
{
    return fonts.isEmpty() ? std::nullopt : fonts.dequeue();
}

QStringList FakeDialogs::texts() const
{
    QStringList list;
    for (const Shown &box : shown)
        list << box.text;
    return list;
}
