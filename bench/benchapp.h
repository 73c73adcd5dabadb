#pragma once

#include "testsupport.h"

#include <QApplication>
#include <QtGlobal>

#include <cstdlib>

// The application of a benchmark, set up as the tests' is: the offscreen platform unless one is
// chosen, and the settings store in a temporary folder, so that the window never starts in a
// stored server role.
class BenchApplication
{
public:
    BenchApplication(int &argc, char **argv)
        : app(argc, argv)
    {
        OrvaneTest::finishIsolation(isolation);
    }

private:
    // Chooses the platform before the application object exists.
    struct Platform
    {
        Platform() { OrvaneTest::chooseHeadlessPlatformIfNeeded(); }
    } platform;
    OrvaneTest::IsolatedSettings isolation;
    QApplication app;
};

// The count given as the first argument, at least `least`; `fallback` without one.
inline int countArgument(int argc, char *argv[], int least, int fallback)
{
    return argc > 1 ? qMax(least, std::atoi(argv[1])) : fallback;
}
