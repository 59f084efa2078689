// PLACEHOLDER: the start-up work replaces this with the real start-up routine.
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
