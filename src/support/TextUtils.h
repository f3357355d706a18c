#pragma once

#include <QString>

// Small text routines shared by menus, dialogs and the status bar.
// Positions are 1-based; 0 means "not found".

// Position of the last occurrence of sub in text; 0 if none or sub is empty.
int LastPos(const QString &sub, const QString &text);
QString ReverseStr(const QString &text);
// Doubles every "&" so a menu caption shows it literally.
QString MenuText(const QString &text);
// "..." plus the last maxLen-3 characters when text is longer than maxLen.
QString ShortenLeft(const QString &text, quint16 maxLen);
// Whether text holds a C0 control character or DEL: such a text cannot be
// one line of a file (a line break) or shown as one.
bool HasControlCharacter(const QString &text);
