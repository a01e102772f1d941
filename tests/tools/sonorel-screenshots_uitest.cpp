// The screenshot tool is how the windows are looked at: its pictures must show what a person
// would see, in the window's own state, not a window the tool set up in a way of its own.
#include "windows/form_Preferences.h"

#include "support/audio_fixtures.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <string>

using namespace sonorel_test;

namespace {

// Runs a command with its output kept apart from the test's; true when it ends well.
bool RunCommand(const std::string& command, const std::string& log)
{
    return std::system((command + " >'" + log + "' 2>&1").c_str()) == 0;
}

TEST(ScreenshotTool, PicturesEveryWindowAndThePreferencesAsTheirButtonOpensThem)
{
    const std::string folder = FixtureFolder();
    const std::string log = folder + "/log.txt";
    ASSERT_TRUE(RunCommand("'" SONOREL_MAKE_DEMO "' '" + folder + "/demo'", log)) << ReadBytes(log);
    ASSERT_TRUE(RunCommand("'" SONOREL_SCREENSHOTS "' '" + folder + "/shots' '" + folder + "/demo/demo.snmx'", log))
        << ReadBytes(log);
    EXPECT_EQ(FileNames(folder + "/shots").size(), 17u);

    // The same window on the same fresh settings, opened as the preferences button opens it.
    TFormPreferences form;
    QImage shown;
    QTimer::singleShot(0, &form, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form)); // its first control shows the focus
        shown = form.grab().toImage();
        form.reject();
    });
    form.FillControls();
    const QImage pictured(QString::fromStdString(folder + "/shots/preferences.png"));
    ASSERT_FALSE(pictured.isNull());
    EXPECT_TRUE(pictured.convertToFormat(shown.format()) == shown)
        << "the tool's preferences picture differs from the window a person sees";
}

} // namespace
