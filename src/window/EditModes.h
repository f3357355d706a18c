#pragma once

#include <QObject>
#include <QString>

// The main window's modes as the controllers below it see them: the one mode
// switch, the Save state and the caption. The modes controller implements it.
class EditModes : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The one way to change mode; refuses when the browser holds no document.
    virtual void seteditmode(bool surf) = 0;
    // Save and its button follow enabled; "Rename As..." the opposite.
    virtual void SetSaveEnabled(bool enabled) = 0;
    // The window caption and application title for the current mode.
    virtual void updateCaption(const QString &locationName) = 0;
    // Whether the page may be left: in edit mode with unsaved work the user
    // is asked, as when leaving edit mode; true to go on.
    virtual bool mayLeaveEditMode() = 0;

Q_SIGNALS:
    // Edit mode has begun and the page is about to become editable; what it
    // holds now is what the user has not changed yet.
    void editModeEntered();
};
