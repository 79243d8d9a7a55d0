#include "NubrelApp.h"

void CoUninitialize() {}

bool CNubrelApp::InitInstance()
{
    return false;
}

int CNubrelApp::ExitInstance()
{
    CoUninitialize();
    return 0;
}
