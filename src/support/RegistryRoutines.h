#pragma once

#include "support/RegistryStore.h"

#include <QString>

// The program's only way into the registry. Each routine reports its outcome
// and never throws; the caller turns it into the documented result text
// (RegResultText) only where it shows it.
enum class RegResult {
    // "keyOk": written; for a read, the value was read (status "").
    Ok,
    // "keyExists": the key exists and overwrite was false; nothing written.
    KeyExists,
    // "keyNotExist"
    KeyNotExist,
    // "keyDeleted": the key and everything below it.
    KeyDeleted,
    // "keyError": the deletion failed.
    KeyError,
    // "ERegistryException error: Failed to set data for '<name>'"
    SetFailed,
    // "ERegistryException error: Invalid data type for '<name>'": not a string.
    InvalidType,
};

// The documented text of result; name is the value name the routine was given.
QString RegResultText(RegResult result, const QString &name = {});

RegResult RegWriteStr(RegistryStore &store, RegRoot root, const QString &key, const QString &name, const QString &value,
                      bool overwrite);
// A missing value reads as "" with Ok; value is empty unless the result is Ok.
RegResult RegReadStr(RegistryStore &store, RegRoot root, const QString &key, const QString &name, QString &value);
RegResult RegKeyDelete(RegistryStore &store, RegRoot root, const QString &key);
