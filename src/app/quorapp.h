#pragma once

#include "contexthelp.h"
#include "data/appstate.h"

#include <memory>

class Platform;
class TQuor;
class TQuorcar;
class TQuorpla;
class TQuorpro;
class TQuorrte;

// The program's five windows around the one shared run-time state: the main
// window and the project dialog made at start, the others when first shown,
// each kept for the rest of the run.
class QuorApp
{
public:
    QuorApp(Platform &platform, const QString &programDirectory);
    ~QuorApp();

    AppState state;
    // F1 in every window of the program.
    ContextHelp contextHelp;
    std::unique_ptr<TQuor> main;
    std::unique_ptr<TQuorpro> pro;
    // Made the first time they are asked for.
    TQuorcar *car();
    TQuorpla *pla();
    TQuorrte *rte();

private:
    Platform &m_platform;
    std::unique_ptr<TQuorcar> m_car;
    std::unique_ptr<TQuorpla> m_pla;
    std::unique_ptr<TQuorrte> m_rte;
};
