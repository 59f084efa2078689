// kavro-cars: the command-line companion of kavro. See CarsCommand.h for its commands.
#include "CarsCommand.h"
#include "platform/EndSignals.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kavro-cars"));
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty())
        args.removeFirst();
    CarsCommand command(QCoreApplication::applicationDirPath());

    // Ctrl+C, a closed terminal or a termination request: the car in hand is finished or given
    // up cleanly (see CarsCommand::programEnd) instead of being cut off halfway through.
    EndSignals::install([&command](int) { command.programEnd().EndProgram(); });
    return command.run(args);
}
