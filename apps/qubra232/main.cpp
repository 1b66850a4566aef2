#include "ui/Application.h"

// The desktop program. Its main window is not built yet: for now the program makes its
// application object and ends.
int main(int argc, char** argv)
{
    qubra::TApplication application(argc, argv);
    return 0;
}
