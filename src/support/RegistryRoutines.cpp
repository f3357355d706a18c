#include "support/RegistryRoutines.h"

namespace {

QString registryError(const QString &message, const QString &name)
{
    return QStringLiteral("ERegistryException error: ") + message.arg(name);
}

QString writeValue(RegistryStore &store, RegRoot root, const QString &key, const QString &name,
                   const RegistryStore::Value &value, bool overwrite)
{
    if (store.keyExists(root, key) && !overwrite)
        return QStringLiteral("keyExists");
    if (!store.setValue(root, key, name, value))
        return registryError(QStringLiteral("Failed to set data for '%1'"), name);
    return QStringLiteral("keyOk");
}

} // namespace

QString RegWriteStr(RegistryStore &store, RegRoot root, const QString &key, const QString &name, const QString &value,
                    bool overwrite)
{
    return writeValue(store, root, key, name, RegistryStore::Value{RegistryStore::Value::Type::String, value, 0},
                      overwrite);
}

QString RegWriteNum(RegistryStore &store, RegRoot root, const QString &key, const QString &name, quint32 value,
                    bool overwrite)
{
    return writeValue(store, root, key, name, RegistryStore::Value{RegistryStore::Value::Type::Number, {}, value},
                      overwrite);
}

QString RegReadStr(RegistryStore &store, RegRoot root, const QString &key, const QString &name, QString &value)
{
    value.clear();
    if (!store.keyExists(root, key))
        return QStringLiteral("keyNotExist");
    const std::optional<RegistryStore::Value> stored = store.value(root, key, name);
    if (!stored)
        return QString();
    if (stored->type != RegistryStore::Value::Type::String)
        return registryError(QStringLiteral("Invalid data type for '%1'"), name);
    value = stored->text;
    return QString();
}

QString RegKeyDelete(RegistryStore &store, RegRoot root, const QString &key)
{
    if (!store.keyExists(root, key))
        return QStringLiteral("keyNotExist");
    return store.deleteKey(root, key) ? QStringLiteral("keyDeleted") : QStringLiteral("keyError");
}
