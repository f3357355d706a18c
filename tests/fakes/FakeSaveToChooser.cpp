#include "FakeSaveToChooser.h"

bool FakeSaveToChooser::choose(const Request &request, QString &folder, QString &name)
{
    requests.append(request);
    if (choices.isEmpty())
        return false;
    const std::optional<Choice> choice = choices.dequeue();
    if (!choice)
        return false;
    folder = choice->folder;
    name = choice->name;
    return true;
}
