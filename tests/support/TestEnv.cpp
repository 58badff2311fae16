#include "TestEnv.h"

#include <QFile>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

void g_requireTestEnvironment()
{
    if (qEnvironmentVariableIsEmpty("FERROWICK_DATA_DIR") || qEnvironmentVariableIsEmpty("HOME")) {
        std::fprintf(stderr, "Run the tests through ctest: FERROWICK_DATA_DIR and HOME must point into the build.\n");
        std::exit(2);
    }
}

DataFolders g_testDataFolders()
{
    return DataFolders(qEnvironmentVariable("FERROWICK_DATA_DIR"));
}

QString g_testSourceDir()
{
    return qEnvironmentVariable("FERROWICK_TEST_SOURCE_DIR");
}

QString g_readText(const QString& path)
{
    return QString::fromUtf8(g_readFile(path));
}

QStringList g_readLines(const QString& path)
{
    return g_readText(path).split(u'\n', Qt::SkipEmptyParts);
}
