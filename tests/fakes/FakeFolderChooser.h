#pragma once

#include "window/FolderChooser.h"

#include <QStringList>

// Answers every question with `chosen` ("" is Cancel), recording each as
// "caption|start folder".
class FakeFolderChooser : public FolderChooser
{
public:
    QStringList requests;
    QString chosen;

    QString chooseFolder(const QString &caption, const QString &startFolder) override
    {
        requests << caption + QLatin1Char('|') + startFolder;
        return chosen;
    }
};
