// jt6400-cli: the generator from scripts and terminals, without a window.
#include "cli/Cli.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("jt6400-cli"));
    return static_cast<int>(jtcli::RunCli(QCoreApplication::arguments().mid(1), stdout, stderr));
}
