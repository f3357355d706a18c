#include "library/MarkColour.h"

#include <QRegularExpression>

#include <array>
#include <utility>

namespace {

struct Named
{
    const char *name;
    quint32 rgb;
};

// The colour grid's sixteen cells, in cell order.
constexpr std::array<Named, 16> GridColours{{
    {"black", 0x000000},
    {"dark red", 0x800000},
    {"dark green", 0x008000},
    {"olive", 0x808000},
    {"navy", 0x000080},
    {"purple", 0x800080},
    {"teal", 0x008080},
    {"silver", 0xC0C0C0},
    {"grey", 0x808080},
    {"red", 0xFF0000},
    {"green", 0x00FF00},
    {"yellow", 0xFFFF00},
    {"blue", 0x0000FF},
    {"magenta", 0xFF00FF},
    {"cyan", 0x00FFFF},
    {"white", 0xFFFFFF},
}};

// CSS keywords that old archives use in style attributes (CSS 2.1 and the
// usual highlighter colours); the engine itself always writes rgb().
constexpr std::array<Named, 36> CssNames{{
    {"black", 0x000000},       {"silver", 0xC0C0C0},      {"gray", 0x808080},      {"grey", 0x808080},
    {"white", 0xFFFFFF},       {"maroon", 0x800000},      {"red", 0xFF0000},       {"purple", 0x800080},
    {"fuchsia", 0xFF00FF},     {"magenta", 0xFF00FF},     {"green", 0x008000},     {"lime", 0x00FF00},
    {"olive", 0x808000},       {"yellow", 0xFFFF00},      {"navy", 0x000080},      {"blue", 0x0000FF},
    {"teal", 0x008080},        {"aqua", 0x00FFFF},        {"cyan", 0x00FFFF},      {"orange", 0xFFA500},
    {"pink", 0xFFC0CB},        {"gold", 0xFFD700},        {"khaki", 0xF0E68C},     {"violet", 0xEE82EE},
    {"orchid", 0xDA70D6},      {"salmon", 0xFA8072},      {"tomato", 0xFF6347},    {"coral", 0xFF7F50},
    {"lightyellow", 0xFFFFE0}, {"lightgreen", 0x90EE90},  {"lightblue", 0xADD8E6}, {"lightpink", 0xFFB6C1},
    {"yellowgreen", 0x9ACD32}, {"greenyellow", 0xADFF2F}, {"skyblue", 0x87CEEB},   {"lavender", 0xE6E6FA},
}};

std::optional<quint32> fromHex(QStringView digits)
{
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    switch (digits.size()) {
    case 3:
    case 4: {
        // #rgb(a): each digit doubled; an alpha of 0 is no colour.
        const uint v = digits.size() == 4 ? value >> 4 : value;
        if (digits.size() == 4 && (value & 0xF) == 0)
            return std::nullopt;
        const uint r = (v >> 8) & 0xF, g = (v >> 4) & 0xF, b = v & 0xF;
        return (r * 17) << 16 | (g * 17) << 8 | (b * 17);
    }
    case 6:
        return value;
    case 8:
        return (value & 0xFF) == 0 ? std::nullopt : std::optional<quint32>(value >> 8);
    default:
        return std::nullopt;
    }
}

// One rgb() component: 0..255 or a percentage, clamped.
std::optional<int> component(QStringView text)
{
    bool ok = false;
    const bool percent = text.endsWith(u'%');
    const double value = (percent ? text.chopped(1) : text).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return qBound(0, int(percent ? value * 2.55 + 0.5 : value + 0.5), 255);
}

std::optional<quint32> fromFunction(QStringView inside)
{
    // Both the comma form and the space form with "/ alpha".
    static const QRegularExpression separators(QStringLiteral("\\s*[,/]\\s*|\\s+"));
    const QList<QStringView> pieces = inside.trimmed().split(separators, Qt::SkipEmptyParts);
    if (pieces.size() != 3 && pieces.size() != 4)
        return std::nullopt;
    if (pieces.size() == 4) {
        bool ok = false;
        const QStringView alpha = pieces[3];
        const double a = alpha.endsWith(u'%') ? alpha.chopped(1).toDouble(&ok) / 100 : alpha.toDouble(&ok);
        if (!ok || a <= 0)
            return std::nullopt;
    }
    quint32 rgb = 0;
    for (int i = 0; i < 3; ++i) {
        const std::optional<int> c = component(pieces[i]);
        if (!c)
            return std::nullopt;
        rgb = rgb << 8 | quint32(*c);
    }
    return rgb;
}

template <std::size_t N> std::optional<quint32> lookUp(const std::array<Named, N> &names, QStringView name)
{
    for (const Named &n : names) {
        if (name.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0)
            return n.rgb;
    }
    return std::nullopt;
}

} // namespace

QString MarkColour::hex() const
{
    return QStringLiteral("#%1").arg(m_rgb, 6, 16, QLatin1Char('0'));
}

QList<MarkColour> MarkColour::gridColours()
{
    QList<MarkColour> colours;
    for (const Named &n : GridColours)
        colours << MarkColour(n.rgb);
    return colours;
}

QString MarkColour::gridName() const
{
    for (const Named &n : GridColours) {
        if (n.rgb == m_rgb)
            return QLatin1String(n.name);
    }
    return {};
}

std::optional<MarkColour> MarkColour::fromCss(QStringView value)
{
    QStringView v = value.trimmed();
    // "!important" and the like do not change the colour.
    if (const qsizetype bang = v.indexOf(u'!'); bang >= 0)
        v = v.left(bang).trimmed();
    std::optional<quint32> rgb;
    if (v.startsWith(u'#')) {
        rgb = fromHex(v.mid(1));
    } else if (const qsizetype open = v.indexOf(u'('); open > 0 && v.endsWith(u')')) {
        const QStringView function = v.left(open).trimmed();
        if (function.compare(QLatin1String("rgb"), Qt::CaseInsensitive) == 0 ||
            function.compare(QLatin1String("rgba"), Qt::CaseInsensitive) == 0)
            rgb = fromFunction(v.mid(open + 1).chopped(1));
    } else {
        rgb = lookUp(CssNames, v);
    }
    if (!rgb)
        return std::nullopt;
    return MarkColour(*rgb);
}

std::optional<MarkColour> MarkColour::fromUserText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.startsWith(u'#')) {
        const std::optional<quint32> rgb = t.size() == 7 ? fromHex(QStringView(t).mid(1)) : std::nullopt;
        return rgb ? std::optional<MarkColour>(MarkColour(*rgb)) : std::nullopt;
    }
    QString name = t.simplified().toLower();
    name.replace(u'-', u' ');
    if (name == QLatin1String("gray"))
        name = QStringLiteral("grey");
    for (const Named &n : GridColours) {
        QString spaced = QLatin1String(n.name);
        if (name == spaced || name == spaced.remove(u' '))
            return MarkColour(n.rgb);
    }
    return std::nullopt;
}
