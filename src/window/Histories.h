#pragma once

#include <array>

class TMYcustomhistory;

// The six history lists of the main window.
struct Histories
{
    TMYcustomhistory *startH = nullptr;
    TMYcustomhistory *allH = nullptr;
    TMYcustomhistory *renH = nullptr;
    TMYcustomhistory *delH = nullptr;
    TMYcustomhistory *backH = nullptr;
    TMYcustomhistory *MoveH = nullptr;

    // The lists a file opened, saved or moved goes into, in that order.
    std::array<TMYcustomhistory *, 4> fileLists() const { return {allH, startH, renH, delH}; }
};
