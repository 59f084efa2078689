// kavro-cars: the command-line companion of kavro. See CarsCommand.h for its commands.
#include "CarsCommand.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_interruptPipe[2] = {-1, -1};

// Only writes a byte: the program's end is asked for from the event loop, where it is safe.
void onInterrupt(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_interruptPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kavro-cars"));
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty())
        args.removeFirst();
    CarsCommand command(QCoreApplication::applicationDirPath());

    // Ctrl+C or a termination request while cars are installed: the car in progress is given up
    // cleanly (see CarsCommand::programEnd) instead of being cut off halfway through its copies.
    std::unique_ptr<QSocketNotifier> interrupts;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_interruptPipe) == 0) {
        interrupts = std::make_unique<QSocketNotifier>(g_interruptPipe[0], QSocketNotifier::Read);
        QObject::connect(interrupts.get(), &QSocketNotifier::activated, [&command] {
            char byte;
            [[maybe_unused]] const ssize_t n = ::read(g_interruptPipe[0], &byte, 1);
            command.programEnd().EndProgram();
        });
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
    }
    return command.run(args);
}
