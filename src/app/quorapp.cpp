#include "quorapp.h"

#include "gps/tquorrte.h"
#include "maps/tquorpla.h"
#include "speeds/tquorcar.h"
#include "tquor.h"
#include "tquorpro.h"

QuorApp::QuorApp(Platform &platform, const QString &programDirectory) : contextHelp(platform)
{
    contextHelp.install();
    main = std::make_unique<TQuor>(state, platform, programDirectory);
    pro = std::make_unique<TQuorpro>(*main, platform);
    car = std::make_unique<TQuorcar>(state, platform);
    pla = std::make_unique<TQuorpla>(state, platform);
    rte = std::make_unique<TQuorrte>(state, platform);
    main->setWindows(pro.get(), car.get(), pla.get(), rte.get());
}

QuorApp::~QuorApp()
{
    // The dialogs refer to the main window: they go first.
    rte.reset();
    pla.reset();
    car.reset();
    pro.reset();
    main.reset();
}
