#include "ui/FocusFrameStyle.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The window tests need no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    // The windows are tested in the look the updater's application object gives them.
    QApplication::setStyle(new velkor::ui::FocusFrameStyle);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
