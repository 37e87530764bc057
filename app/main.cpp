// tarvik-ui: the configuration and monitoring program of the Tarvik module.
// The three process-wide objects are constructed in this order and destroyed
// in the reverse order: the application, the timer-precision object and the
// settings record (which loads now and saves when it is destroyed).
#include "app/app_ini.h"
#include "app/multimedia_timer.h"
#include "app/tarvik_ui_app.h"
#include "device/object_access.h"

#include <memory>

int main(int argc, char** argv) {
    auto app = std::make_unique<CTARVIK_UIApp>(argc, argv);
    if (app->Finished()) return app->ExitCode();
    auto timer = std::make_unique<CMultimediaTimer>();
    g_pAppIni = new CAppIni();

    const int rc = app->InitInstance(*timer);

    FinaliseObjectAccessStatistics();
    app->RestoreStoredConnection();
    delete g_pAppIni;  // saves every key
    g_pAppIni = nullptr;
    timer.reset();
    app.reset();
    return rc;
}
