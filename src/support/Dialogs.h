#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Every modal box, input box and common dialog the program shows goes through
// this seam, so flows can be tested with scripted answers.
class Dialogs
{
public:
    enum class Kind { Plain, Error, Warning, Information, Confirm };
    enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    struct FontChoice
    {
        QString family;
        int pointSize = 0;
        bool bold = false;
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
    };

    virtual ~Dialogs() = default;

    // The one primitive every message box goes through. defaultAnswer is the
    // button Enter presses; Escape or closing the box gives No, Cancel or Ok.
    virtual Answer message(Kind kind, const QString &caption, const QString &text, Buttons buttons,
                           Answer defaultAnswer) = 0;
    // nullopt when the user cancelled.
    virtual std::optional<QString> inputQuery(const QString &caption, const QString &prompt,
                                              const QString &value) = 0;
    // Empty when cancelled. filter uses Qt syntax ("MHT files (*.mht)");
    // filters are separated by ";;", and selectedFilter, when given, receives
    // the one the user chose.
    virtual QString openFileName(const QString &caption, const QString &folder, const QString &filter) = 0;
    virtual QString saveFileName(const QString &caption, const QString &path, const QString &filter,
                                 QString *selectedFilter = nullptr) = 0;
    // Colours are red in the low byte, then green, then blue.
    virtual std::optional<std::uint32_t> chooseColor(std::uint32_t initial) = 0;
    virtual std::optional<FontChoice> chooseFont() = 0;

    // The caption of plain boxes: the application's title, which the main
    // window keeps equal to its own caption.
    QString applicationTitle() const { return m_title; }
    void setApplicationTitle(const QString &title) { m_title = title; }

    void ShowMsg(const QString &text);
    void ShowInt(long long value);
    void ShowNumber(unsigned long long value);
    void ShowErrorMsg(const QString &text);
    void ShowWarningMsg(const QString &text);
    void ShowInfoMsg(const QString &text);
    // True only when Yes was pressed.
    bool AskYesNo(const QString &text);

private:
    QString m_title = QStringLiteral("Quillet");
};
