#pragma once

#include <QLatin1String>
#include <array>

// How the main window sets up one of its history lists. hostObjectName is the
// objectName of the QMenu whose entries the list extends; handler names the
// main window's item-click handler (empty: the list has none).
struct HistorySpec
{
    QLatin1String name;
    QLatin1String hostObjectName;
    QLatin1String histname;
    QLatin1String maxhistname;
    QLatin1String maxitemlenname;
    int maxhist = 10; // replaced at LoadHistory by the max-items file or 10
    bool enabled = true;
    QLatin1String handler;
};

// The main window's six lists, in the order they are loaded at start-up.
inline constexpr std::array<HistorySpec, 6> HistorySpecs{{
    {QLatin1String("startH"), QLatin1String("FileMI"), QLatin1String("webopenfiles.his"),
     QLatin1String("webopenmax.his"), QLatin1String("webopenmaxlen.his"), 10, false,
     QLatin1String("startHitemclicked")},
    {QLatin1String("allH"), QLatin1String("OpenMI"), QLatin1String("webfiles.his"), QLatin1String("webmax.his"),
     QLatin1String("webmaxlen.his"), 20, false, QLatin1String("allHitemclicked")},
    {QLatin1String("renH"), QLatin1String("RenMI"), QLatin1String("renfiles.his"), QLatin1String("renmax.his"),
     QLatin1String("renmaxlen.his"), 10, true, QLatin1String("renHitemclicked")},
    {QLatin1String("delH"), QLatin1String("DeleteMI"), QLatin1String("delfiles.his"), QLatin1String("delmax.his"),
     QLatin1String("delmaxlen.his"), 10, true, QLatin1String("delHitemclicked")},
    {QLatin1String("backH"), QLatin1String("BackHDummy"), QLatin1String("backfiles.his"), QLatin1String("backmax.his"),
     QLatin1String("backmaxlen.his"), 10, true, QLatin1String()},
    {QLatin1String("MoveH"), QLatin1String("MoveMI"), QLatin1String("saveinfiles.his"), QLatin1String("saveinmax.his"),
     QLatin1String("saveinmaxlen.his"), 20, true, QLatin1String("MoveHitemclicked")},
}};
