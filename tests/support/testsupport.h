#pragma once

#include <QApplication>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

namespace OrvaneTest {

// Points the settings store at a fresh temporary folder for the life of the test program, so
// that no test ever reads or writes the operator's real settings (a stored server role could
// otherwise make a test broadcast on the real network).
class IsolatedSettings
{
public:
    IsolatedSettings();
    ~IsolatedSettings();
    // The folder that stands in for XDG_CONFIG_HOME.
    QString path() const { return dir.path(); }
    // The settings file that the program's QSettings() writes.
    QString settingsFile() const;
    // Removes every stored setting, as on a machine where the program never ran.
    void clear() const;

private:
    QTemporaryDir dir;
};

// Runs without a display unless the caller chose a platform.
void chooseHeadlessPlatformIfNeeded();
// Called once the application object exists.
void finishIsolation(const IsolatedSettings &settings);

// The isolation of the test program that is running.
const IsolatedSettings &isolatedSettings();

// True inside a network namespace that holds nothing but loopback: the only place where a test
// may let the program broadcast.
bool onlyLoopbackHere();

// Starts an X server of its own in `xvfb` (one screen of `screen`, e.g. "1280x720x24") and
// returns its display name (":N"), or an empty text when it did not come up.
QString startOwnXvfb(QProcess &xvfb, const QString &screen);
// The same with Xvfb's own arguments for its screens and extensions, e.g. two screens with
// Xinerama: { "-screen", "0", "1280x720x24", "-screen", "1", "1920x1080x24", "+xinerama" }.
QString startOwnXvfb(QProcess &xvfb, const QStringList &screenArguments);

} // namespace OrvaneTest

#define ORVANE_TEST_MAIN_IMPL(AppClass, TestObject)                                            \
    int main(int argc, char *argv[])                                                           \
    {                                                                                          \
        OrvaneTest::chooseHeadlessPlatformIfNeeded();                                          \
        OrvaneTest::IsolatedSettings isolation;                                                \
        AppClass app(argc, argv);                                                              \
        OrvaneTest::finishIsolation(isolation);                                                \
        TestObject tc;                                                                         \
        QTEST_SET_MAIN_SOURCE_PATH                                                             \
        return QTest::qExec(&tc, argc, argv);                                                  \
    }

// QTEST_MAIN and QTEST_GUILESS_MAIN with the settings store isolated.
#define ORVANE_TEST_MAIN(TestObject) ORVANE_TEST_MAIN_IMPL(QApplication, TestObject)
#define ORVANE_TEST_GUILESS_MAIN(TestObject) ORVANE_TEST_MAIN_IMPL(QCoreApplication, TestObject)
