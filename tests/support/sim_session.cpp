#include "tests/support/sim_session.h"

#include <QCoreApplication>
#include <QElapsedTimer>

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    do QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (t.elapsed() < ms);
}
