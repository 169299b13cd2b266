#include "quorapp.h"

#include "gps/tquorrte.h"
#include "maps/tquorpla.h"
#include "speeds/tquorcar.h"
#include "tquor.h"
#include "tquorpro.h"

QuorApp::QuorApp(Platform &platform, const QString &programDirectory)
    : contextHelp(platform), m_platform(platform)
{
    contextHelp.install();
    main = std::make_unique<TQuor>(state, platform, programDirectory);
    pro = std::make_unique<TQuorpro>(*main, platform);
    main->setWindows({pro.get(), [this]() -> TQuorcar & { return *car(); },
                      [this]() -> TQuorpla & { return *pla(); },
                      [this]() -> TQuorrte & { return *rte(); }});
}

TQuorcar *QuorApp::car()
{
    if (!m_car)
        m_car = std::make_unique<TQuorcar>(state, m_platform);
    return m_car.get();
}

TQuorpla *QuorApp::pla()
{
    if (!m_pla) {
        m_pla = std::make_unique<TQuorpla>(state, m_platform);
        main->connectMapWindow(*m_pla);
    }
    return m_pla.get();
}

TQuorrte *QuorApp::rte()
{
    if (!m_rte) {
        m_rte = std::make_unique<TQuorrte>(state, m_platform);
        main->connectRouteDialog(*m_rte);
    }
    return m_rte.get();
}

QuorApp::~QuorApp()
{
    // The dialogs refer to the main window: they go first.
    m_rte.reset();
    m_pla.reset();
    m_car.reset();
    pro.reset();
    main.reset();
}
