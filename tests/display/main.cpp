// Widget tests need one QApplication for the whole program (offscreen platform, set by ctest),
// and trace stores need the "TRA" converter in the registry.

#include <QApplication>
#include <gtest/gtest.h>

#include "formats/uTRAConvs.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    lv::RegisterTRAFormat();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
