#include <QApplication>
#include <gtest/gtest.h>

#include "platform/ui/MessageBox.h"
#include "support/test_home.h"

// Test programs that build widgets run under one QApplication (offscreen unless the caller
// chose another platform, e.g. xvfb for screenshots), with the sinks the application installs.
int main(int argc, char** argv)
{
    const std::string home = sonorel_test::MakeTestHome(argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        ui::InstallMessageSinks();
        testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    sonorel_test::EndTestHome(home, result == 0);
    return result;
}
