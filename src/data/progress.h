#pragma once

#include <QtGlobal>
#include <functional>

// A long import reports how far it got, as `done` of `total` (any unit the
// operation chooses); answering false cancels it.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Thrown by a long operation whose progress answered false. Nothing was
// changed: the caller ends the command quietly.
struct Cancelled
{
};
