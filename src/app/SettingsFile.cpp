#include "app/SettingsFile.h"

#include "support/FileLock.h"
#include "support/PathUtils.h"
#include "support/ProfileFile.h"
#include "window/AppState.h"

namespace {
const QString Location = QStringLiteral("Location");
const QString Edit = QStringLiteral("Edit");
const QString Shell = QStringLiteral("Shell");
const QString General = QStringLiteral("General");
const QString Registry = QStringLiteral("Registry");
const QString Save = QStringLiteral("Save");

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<QString> stored(const ProfileFile &ini, const QString &section, const QString &key)
{
    if (!ini.HasKey(section, key))
        return std::nullopt;
    return ini.ReadString(section, key, QString());
}
} // namespace

void SettingsFile::read(AppState &s, const QString &documentsFolder)
{
    const ProfileFile ini(m_path);
    s.DefaultSaveFolder = ini.ReadString(Location, QStringLiteral("Save"), QString());
    if (s.DefaultSaveFolder.isEmpty())
        s.DefaultSaveFolder = documentsFolder;
    StripBackslash(s.DefaultSaveFolder);
    s.AutoEditMode = ini.ReadBool(Edit, QStringLiteral("Auto mode"), false);
    s.MhtOnlyEdit = ini.ReadBool(Edit, QStringLiteral("MHT only edit"), true);
    s.RegisterMht = ini.ReadBool(Shell, QStringLiteral("Register MHT files"), false);
    s.LaunchFromIE = ini.ReadBool(Shell, QStringLiteral("Launch from IE"), true);
    s.MarkRed = ini.ReadInteger(Edit, QStringLiteral("Red"), 255);
    s.MarkGreen = ini.ReadInteger(Edit, QStringLiteral("Green"), 0);
    s.MarkBlue = ini.ReadInteger(Edit, QStringLiteral("Blue"), 0);
    s.MarkColor = RGB(s.MarkRed, s.MarkGreen, s.MarkBlue);
    s.SuppressScripts = ini.ReadBool(General, QStringLiteral("Suppress scripts"), true);
    s.BkpDotMhtDef = ini.ReadString(Registry, QStringLiteral("Bkp-dotmht-def"), QString());
    s.BkpDotMhtCont = ini.ReadString(Registry, QStringLiteral("Bkp-dotmht-cont"), QString());
    s.BkpIconDef = ini.ReadString(Registry, QStringLiteral("Bkp-icon-def"), QString());
    s.BkpOpenDef = ini.ReadString(Registry, QStringLiteral("Bkp-open-def"), QString());
    s.PrependFilename = ini.ReadBool(Save, QStringLiteral("Prepend filename"), false);
    s.UseSelectionForFilename = ini.ReadBool(Save, QStringLiteral("Use selection for filename"), true);

    m_started.clear();
    m_found.clear();
    for (const Entry &entry : entries(s)) {
        m_started << entry.value;
        m_found << stored(ini, entry.section, entry.key);
    }
}

QList<SettingsFile::Entry> SettingsFile::entries(const AppState &s)
{
    return {
        {General, QStringLiteral("Suppress scripts"), flag(s.SuppressScripts)},
        {Location, QStringLiteral("Save"), s.DefaultSaveFolder},
        {Edit, QStringLiteral("Auto mode"), flag(s.AutoEditMode)},
        {Edit, QStringLiteral("MHT only edit"), flag(s.MhtOnlyEdit)},
        {Edit, QStringLiteral("Red"), QString::number(RedOf(s.MarkColor))},
        {Edit, QStringLiteral("Green"), QString::number(GreenOf(s.MarkColor))},
        {Edit, QStringLiteral("Blue"), QString::number(BlueOf(s.MarkColor))},
        {Shell, QStringLiteral("Register MHT files"), flag(s.RegisterMht)},
        {Shell, QStringLiteral("Launch from IE"), flag(s.LaunchFromIE)},
        {Registry, QStringLiteral("Bkp-dotmht-def"), s.BkpDotMhtDef},
        {Registry, QStringLiteral("Bkp-dotmht-cont"), s.BkpDotMhtCont},
        {Registry, QStringLiteral("Bkp-icon-def"), s.BkpIconDef},
        {Registry, QStringLiteral("Bkp-open-def"), s.BkpOpenDef},
        {Save, QStringLiteral("Use selection for filename"), flag(s.UseSelectionForFilename)},
        {Save, QStringLiteral("Prepend filename"), flag(s.PrependFilename)},
    };
}

FileWriteResult SettingsFile::write(AppState &s) const
{
    s.MarkRed = RedOf(s.MarkColor);
    s.MarkGreen = GreenOf(s.MarkColor);
    s.MarkBlue = BlueOf(s.MarkColor);
    const FileLock lock(m_path);
    if (!lock.locked())
        return {QStringLiteral("Unable to write to %1\n%2").arg(m_path, lock.errorString())};
    // As it stands now: another Quillet may have closed since this one started.
    ProfileFile ini(m_path);
    // Written from what could be read, the other Quillets' keys would be lost.
    if (!ini.readOk())
        return {QStringLiteral("Unable to write to %1\n%2").arg(m_path, ini.errorString())};
    const QList<Entry> now = entries(s);
    const bool known = m_started.size() == now.size();
    for (qsizetype i = 0; i < now.size(); ++i) {
        const Entry &entry = now.at(i);
        const bool changedHere = !known || entry.value != m_started.at(i);
        const std::optional<QString> current = stored(ini, entry.section, entry.key);
        if (changedHere || !current || (known && current == m_found.at(i)))
            ini.WriteString(entry.section, entry.key, entry.value);
    }
    if (!ini.save())
        return {QStringLiteral("Unable to write to %1\n%2").arg(m_path, ini.errorString())};
    return {};
}
