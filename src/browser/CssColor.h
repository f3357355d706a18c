#pragma once

#include <QString>
#include <QVariant>

// Colours travel through the program as integers with red in the low byte;
// pages want CSS.
class CssColor
{
public:
    // "rgb(r, g, b)", the form the engine writes into style attributes.
    static QString fromColorRef(quint32 color);
    // An integer (or a text holding one) becomes "rgb(r, g, b)"; any other
    // text is taken as a CSS colour already.
    static QString fromValue(const QVariant &value);
};
