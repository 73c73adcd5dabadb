#include "storedsettings.h"

#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

void useProgramIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vexo"));
    QCoreApplication::setApplicationName(QStringLiteral("Unknown"));
}

QString settingsFile()
{
    return OrvaneTest::isolatedSettings().settingsFile();
}

void emptySettingsStore()
{
    const QString folder = OrvaneTest::isolatedSettings().path() + QStringLiteral("/Vexo");
    for (const QString &path : { settingsFile(), settingsFile() + QStringLiteral(".lock") }) {
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink())
            QDir(path).removeRecursively();
        else if (info.exists() || info.isSymLink())
            QFile::remove(path);
    }
    if (QFileInfo(folder).isFile())
        QFile::remove(folder);
    OrvaneTest::isolatedSettings().clear();
}

bool writeSettingsFile(const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(settingsFile()).path());
    QFile file(settingsFile());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(contents) == contents.size();
}

QByteArray settingsFileBytes()
{
    QFile file(settingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, QVariant> storedValues()
{
    QSettings file(settingsFile(), QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    QMap<QString, QVariant> values;
    for (const QString &key : file.childKeys())
        values.insert(key, file.value(key));
    return values;
}

QString describe(const comm_st &r)
{
    return QStringLiteral("udp=%1 server=%2 serial=%3 shost=%4 sport=%5 chost=%6 cport=%7")
        .arg(r.use_udp)
        .arg(r.is_server)
        .arg(r.serialport, r.server_host, r.server_port, r.client_host, r.client_port);
}
