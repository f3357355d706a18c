#include "support/RegistryRoutines.h"

QString RegResultText(RegResult result, const QString &name)
{
    switch (result) {
    case RegResult::Ok:
        return QStringLiteral("keyOk");
    case RegResult::KeyExists:
        return QStringLiteral("keyExists");
    case RegResult::KeyNotExist:
        return QStringLiteral("keyNotExist");
    case RegResult::KeyDeleted:
        return QStringLiteral("keyDeleted");
    case RegResult::KeyError:
        return QStringLiteral("keyError");
    case RegResult::SetFailed:
        return QStringLiteral("ERegistryException error: Failed to set data for '%1'").arg(name);
    case RegResult::InvalidType:
        return QStringLiteral("ERegistryException error: Invalid data type for '%1'").arg(name);
    }
    return QString();
}

RegResult RegWriteStr(RegistryStore &store, RegRoot root, const QString &key, const QString &name, const QString &value,
                      bool overwrite)
{
    if (store.keyExists(root, key) && !overwrite)
        return RegResult::KeyExists;
    if (!store.setValue(root, key, name, RegistryStore::Value{RegistryStore::Value::Type::String, value, 0}))
        return RegResult::SetFailed;
    return RegResult::Ok;
}

RegResult RegReadStr(RegistryStore &store, RegRoot root, const QString &key, const QString &name, QString &value)
{
    value.clear();
    if (!store.keyExists(root, key))
        return RegResult::KeyNotExist;
    const std::optional<RegistryStore::Value> stored = store.value(root, key, name);
    if (!stored)
        return RegResult::Ok;
    if (stored->type != RegistryStore::Value::Type::String)
        return RegResult::InvalidType;
    value = stored->text;
    return RegResult::Ok;
}

RegResult RegKeyDelete(RegistryStore &store, RegRoot root, const QString &key)
{
    if (!store.keyExists(root, key))
        return RegResult::KeyNotExist;
    return store.deleteKey(root, key) ? RegResult::KeyDeleted : RegResult::KeyError;
}
