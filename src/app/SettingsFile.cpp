#include "app/SettingsFile.h"

#include "support/ProfileFile.h"
#include "window/AppState.h"

namespace {
const QString Location = QStringLiteral("Location");
const QString Edit = QStringLiteral("Edit");
const QString Shell = QStringLiteral("Shell");
const QString General = QStringLiteral("General");
const QString Registry = QStringLiteral("Registry");
const QString Save = QStringLiteral("Save");
} // namespace

void SettingsFile::read(AppState &s) const
{
    const ProfileFile ini(m_path);
    s.DefaultSaveFolder = ini.ReadString(Location, QStringLiteral("Save"), QString());
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
}

FileWriteResult SettingsFile::write(AppState &s) const
{
    ProfileFile ini(m_path);
    ini.WriteBool(General, QStringLiteral("Suppress scripts"), s.SuppressScripts);
    ini.WriteString(Location, QStringLiteral("Save"), s.DefaultSaveFolder);
    ini.WriteBool(Edit, QStringLiteral("Auto mode"), s.AutoEditMode);
    ini.WriteBool(Edit, QStringLiteral("MHT only edit"), s.MhtOnlyEdit);
    s.MarkRed = RedOf(s.MarkColor);
    s.MarkGreen = GreenOf(s.MarkColor);
    s.MarkBlue = BlueOf(s.MarkColor);
    ini.WriteInteger(Edit, QStringLiteral("Red"), s.MarkRed);
    ini.WriteInteger(Edit, QStringLiteral("Green"), s.MarkGreen);
    ini.WriteInteger(Edit, QStringLiteral("Blue"), s.MarkBlue);
    ini.WriteBool(Shell, QStringLiteral("Register MHT files"), s.RegisterMht);
    ini.WriteBool(Shell, QStringLiteral("Launch from IE"), s.LaunchFromIE);
    ini.WriteString(Registry, QStringLiteral("Bkp-dotmht-def"), s.BkpDotMhtDef);
    ini.WriteString(Registry, QStringLiteral("Bkp-dotmht-cont"), s.BkpDotMhtCont);
    ini.WriteString(Registry, QStringLiteral("Bkp-icon-def"), s.BkpIconDef);
    ini.WriteString(Registry, QStringLiteral("Bkp-open-def"), s.BkpOpenDef);
    ini.WriteBool(Save, QStringLiteral("Use selection for filename"), s.UseSelectionForFilename);
    ini.WriteBool(Save, QStringLiteral("Prepend filename"), s.PrependFilename);
    if (!ini.save())
        return {QStringLiteral("Unable to write to %1\n%2").arg(m_path, ini.errorString())};
    return {};
}
