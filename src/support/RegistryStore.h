#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The two predefined roots the program writes under.
enum class RegRoot { HKEY_CLASSES_ROOT, HKEY_CURRENT_USER };

// A registry hive kept in one text file: keys are backslash paths under a
// root, compared case-insensitively; each key holds named values that are
// strings or 32-bit numbers; the empty name is the key's default value.
// Every change is written through at once, atomically. The file is read
// again before each call, so separate stores on one file stay in step, and a
// change that could not be written leaves nothing behind in memory either.
class RegistryStore
{
public:
    struct Value
    {
        enum class Type { String, Number };
        Type type = Type::String;
        QString text;
        quint32 number = 0;
    };

    explicit RegistryStore(QString filePath);

    // The empty key path is the root itself, which always exists.
    bool keyExists(RegRoot root, const QString &key);
    std::optional<Value> value(RegRoot root, const QString &key, const QString &name);

    // Creates the key and any missing parents as needed and sets the value.
    bool setValue(RegRoot root, const QString &key, const QString &name, const Value &value);
    // Deletes the key with everything below it. The root cannot be deleted.
    bool deleteKey(RegRoot root, const QString &key);

private:
    struct NamedValue
    {
        QString name;
        Value value;
    };
    struct Key
    {
        QString path; // root name + "\" + key path, as first written
        QList<NamedValue> values;
    };

    static QString rootName(RegRoot root);
    static QString fullPath(RegRoot root, const QString &key);
    static bool samePath(const QString &a, const QString &b);
    static bool isBelow(const QString &path, const QString &ancestor);
    void load();
    bool save();
    qsizetype indexOf(const QString &path) const;
    // Adds the key and its parents when missing; the index of the key.
    qsizetype ensureKey(const QString &path);

    QString m_filePath;
    QList<Key> m_keys;
    bool m_unreadable = false;
};
