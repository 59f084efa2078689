// kavro-cars: the command-line companion of kavro. See CarsCommand.h for its commands.
#include "CarsCommand.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kavro-cars"));
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty())
        args.removeFirst();
    CarsCommand command(QCoreApplication::applicationDirPath());
    return command.run(args);
}
