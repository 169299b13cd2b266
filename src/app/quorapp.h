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

// The program's five windows, created once in their order and kept for the
// whole run, around the one shared run-time state.
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
    std::unique_ptr<TQuorcar> car;
    std::unique_ptr<TQuorpla> pla;
    std::unique_ptr<TQuorrte> rte;
};
