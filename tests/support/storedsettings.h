#pragma once

#include "dialogs/comm_st.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

// The settings file as the program finds it and leaves it, read and written beside the
// program's own QSettings, in the isolated store of testsupport.h.

// The identity the window registers, so that the store can be emptied before the first window.
void useProgramIdentity();

// The file that the program's QSettings() reads and writes.
QString settingsFile();

// What a test put in the store's place (a FIFO, a folder, a link, a lock) goes, and every
// stored setting with it, as on a machine where the program never ran.
void emptySettingsStore();

// Writes the file byte for byte, as a hand or a fault left it; false when it cannot.
bool writeSettingsFile(const QByteArray &contents);

// The file's bytes as they are on disk. A QSettings of this process may answer from what it
// keeps of the file instead.
QByteArray settingsFileBytes();

// What the store holds at its top level, key by key, as the file on disk says; the named
// groups beside it hold the display's own settings.
QMap<QString, QVariant> storedValues();

// The communication record in one line, so that a comparison shows every field that differs.
QString describe(const comm_st &r);
