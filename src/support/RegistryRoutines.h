#pragma once

#include "support/RegistryStore.h"

#include <QString>

// The program's only way into the registry. Each routine reports its outcome
// as a result text and never throws; callers compare it with the literals
// "keyOk", "keyExists", "keyNotExist", "keyDeleted", "keyError", or show it.

// "keyOk"; "keyExists" when the key exists and overwrite is false (nothing
// written); "ERegistryException error: Failed to set data for '<name>'".
QString RegWriteStr(RegistryStore &store, RegRoot root, const QString &key, const QString &name, const QString &value,
                    bool overwrite);
// The same for a 32-bit number value.
QString RegWriteNum(RegistryStore &store, RegRoot root, const QString &key, const QString &name, quint32 value,
                    bool overwrite);
// Returns the status: "" with the value read (a missing value reads as "");
// "keyNotExist"; or "ERegistryException error: Invalid data type for
// '<name>'" for a number. value is empty unless the status is "".
QString RegReadStr(RegistryStore &store, RegRoot root, const QString &key, const QString &name, QString &value);
// "keyDeleted" with everything below the key; "keyNotExist"; "keyError"
// when the deletion failed.
QString RegKeyDelete(RegistryStore &store, RegRoot root, const QString &key);
