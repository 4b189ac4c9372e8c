// main() of the GUI test programs: a QApplication with Qt's Chinese texts
// for standard buttons and the dialog font, as the program has them.
#include "framework/Afx.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (at build time) needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QApplication application(argc, argv);
    AfxWinInit();
    return RUN_ALL_TESTS();
}
