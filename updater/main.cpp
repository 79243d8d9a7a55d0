// nubrel: the update client. It starts, declines to initialise and ends.
// Its dialog and strings are embedded resources that no code shows.
#include "NubrelApp.h"

namespace {
CNubrelApp theApp;
}

int main()
{
    if (!theApp.InitInstance())
        return theApp.ExitInstance();
    return theApp.ExitInstance();
}
