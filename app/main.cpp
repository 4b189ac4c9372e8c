// Entry point of Kestrel: the framework's start-up, then the application
// object's InitInstance, which holds the whole run.
#include "app/Kestrel.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    AfxWinInit();
    theApp.InitInstance();
    return 0;
}
