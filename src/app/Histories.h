#pragma once

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
};
