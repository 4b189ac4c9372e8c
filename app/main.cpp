// Entry point of Kestrel: the framework's start-up, then the application
// object's InitInstance, which holds the whole run.
#include "app/Kestrel.h"

int main(int argc, char* argv[]) { return AfxWinMain(argc, argv); }
