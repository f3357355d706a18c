#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The colour of a mark: what a style attribute says as #rrggbb, and the name
// of the colour grid's cell when it is one of its sixteen.
class MarkColour
{
public:
    // 0xRRGGBB.
    explicit MarkColour(quint32 rgb) : m_rgb(rgb & 0xFFFFFF) {}

    quint32 rgb() const { return m_rgb; }
    // "#rrggbb", lower case.
    QString hex() const;
    // "yellow", "dark red", ...; empty for any other colour.
    QString gridName() const;

    // A CSS colour value as pages and the engine write it: #rgb, #rrggbb
    // (and their alpha forms), rgb()/rgba() with numbers or percentages, and
    // the CSS names. None for a transparent or unreadable value.
    static std::optional<MarkColour> fromCss(QStringView value);
    // What a user types: a grid name ("yellow", "dark red", "darkred") or #rrggbb.
    static std::optional<MarkColour> fromUserText(const QString &text);
    // The colour grid's sixteen, in its cell order.
    static QList<MarkColour> gridColours();

private:
    quint32 m_rgb = 0;
};
