#include "support/RegistryStore.h"

#include "support/AtomicFile.h"

#include <QFile>

namespace {

QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Reads a quoted string starting at line[pos] == '"'; pos ends after the
// closing quote. False when the string is not closed.
bool readQuoted(const QString &line, qsizetype &pos, QString *text)
{
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line.at(pos);
        if (c == QLatin1Char('"')) {
            ++pos;
            *text = out;
            return true;
        }
        if (c == QLatin1Char('\\') && pos + 1 < line.size()) {
            const QChar next = line.at(++pos);
            out += next == QLatin1Char('n') ? QChar(u'\n') : next == QLatin1Char('r') ? QChar(u'\r') : next;
        } else {
            out += c;
        }
    }
    return false;
}

} // namespace

RegistryStore::RegistryStore(QString filePath) : m_filePath(std::move(filePath))
{
    load();
}

QString RegistryStore::rootName(RegRoot root)
{
    switch (root) {
    case RegRoot::HKEY_CLASSES_ROOT:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    case RegRoot::HKEY_CURRENT_USER:
        return QStringLiteral("HKEY_CURRENT_USER");
    }
    return QString();
}

QString RegistryStore::fullPath(RegRoot root, const QString &key)
{
    // Leading, trailing and doubled separators name the same key.
    QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    parts.prepend(rootName(root));
    return parts.join(QLatin1Char('\\'));
}

bool RegistryStore::samePath(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool RegistryStore::isBelow(const QString &path, const QString &ancestor)
{
    return path.size() > ancestor.size() && path.at(ancestor.size()) == QLatin1Char('\\') &&
           samePath(path.left(ancestor.size()), ancestor);
}

qsizetype RegistryStore::indexOf(const QString &path) const
{
    for (qsizetype i = 0; i < m_keys.size(); ++i) {
        if (samePath(m_keys.at(i).path, path))
            return i;
    }
    return -1;
}

qsizetype RegistryStore::ensureKey(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('\\'));
    QString current = parts.first();
    qsizetype index = -1;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        current += QLatin1Char('\\') + parts.at(i);
        index = indexOf(current);
        if (index < 0) {
            m_keys.append(Key{current, {}});
            index = m_keys.size() - 1;
        }
    }
    return index;
}

void RegistryStore::load()
{
    m_keys.clear();
    QFile file(m_filePath);
    // A hive that exists but cannot be read must not be overwritten by an
    // empty one.
    m_unreadable = file.exists() && !file.open(QIODevice::ReadOnly);
    if (!file.isOpen())
        return;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    qsizetype current = -1;
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString path = line.mid(1, line.size() - 2);
            const QString root = path.section(QLatin1Char('\\'), 0, 0);
            const bool known = samePath(root, rootName(RegRoot::HKEY_CLASSES_ROOT)) ||
                               samePath(root, rootName(RegRoot::HKEY_CURRENT_USER));
            current = known && path.contains(QLatin1Char('\\')) ? ensureKey(path) : -1;
            continue;
        }
        if (current < 0 || line.isEmpty())
            continue;
        // "name"=... or @=... for the default value; anything else is skipped.
        QString name;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (!line.startsWith(QLatin1Char('"')) || !readQuoted(line, pos, &name)) {
            continue;
        }
        if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
            continue;
        ++pos;
        Value value;
        if (line.mid(pos).startsWith(QLatin1String("dword:"))) {
            bool ok = false;
            value.type = Value::Type::Number;
            value.number = line.mid(pos + 6).toUInt(&ok, 16);
            if (!ok)
                continue;
        } else if (pos >= line.size() || line.at(pos) != QLatin1Char('"') || !readQuoted(line, pos, &value.text)) {
            continue;
        }
        m_keys[current].values.append(NamedValue{name, value});
    }
}

bool RegistryStore::save()
{
    if (m_unreadable)
        return false;
    QByteArray out("QUILLET REGISTRY 1\n");
    for (const Key &key : std::as_const(m_keys)) {
        out += '\n';
        out += (QLatin1Char('[') + key.path + QLatin1Char(']')).toUtf8();
        out += '\n';
        for (const NamedValue &nv : key.values) {
            QString line =
                nv.name.isEmpty() ? QStringLiteral("@") : QLatin1Char('"') + escaped(nv.name) + QLatin1Char('"');
            line += QLatin1Char('=');
            if (nv.value.type == Value::Type::Number)
                line += QStringLiteral("dword:%1").arg(nv.value.number, 8, 16, QLatin1Char('0'));
            else
                line += QLatin1Char('"') + escaped(nv.value.text) + QLatin1Char('"');
            out += line.toUtf8();
            out += '\n';
        }
    }
    return WriteFileAtomically(m_filePath, out).ok();
}

bool RegistryStore::keyExists(RegRoot root, const QString &key)
{
    load();
    const QString path = fullPath(root, key);
    if (!path.contains(QLatin1Char('\\')))
        return true;
    for (const Key &k : std::as_const(m_keys)) {
        if (samePath(k.path, path) || isBelow(k.path, path))
            return true;
    }
    return false;
}

std::optional<RegistryStore::Value> RegistryStore::value(RegRoot root, const QString &key, const QString &name)
{
    load();
    const qsizetype index = indexOf(fullPath(root, key));
    if (index < 0)
        return std::nullopt;
    for (const NamedValue &nv : std::as_const(m_keys.at(index).values)) {
        if (samePath(nv.name, name))
            return nv.value;
    }
    return std::nullopt;
}

bool RegistryStore::setValue(RegRoot root, const QString &key, const QString &name, const Value &value)
{
    load();
    const QString path = fullPath(root, key);
    if (!path.contains(QLatin1Char('\\')))
        return false;
    QList<NamedValue> &values = m_keys[ensureKey(path)].values;
    auto it = std::find_if(values.begin(), values.end(), [&](const NamedValue &nv) { return samePath(nv.name, name); });
    if (it != values.end())
        it->value = value;
    else
        values.append(NamedValue{name, value});
    return save();
}

bool RegistryStore::deleteKey(RegRoot root, const QString &key)
{
    load();
    const QString path = fullPath(root, key);
    if (!path.contains(QLatin1Char('\\')))
        return false;
    m_keys.removeIf([&](const Key &k) { return samePath(k.path, path) || isBelow(k.path, path); });
    return save();
}
