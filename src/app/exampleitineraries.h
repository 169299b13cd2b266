#pragma once

#include <QDate>

struct AppState;

// The example's catalogue and its itineraries (exampleitineraries.cpp), for
// the example's files.
namespace ExampleProject {

// Writes the catalogue of `state`'s project and its three itineraries, with
// the times the program itself computes from the default speed table.
void writeCatalogue(AppState &state);

// The day of the itinerary that waits for the route, when the recorded walk
// went along it.
QDate routeDay();

} // namespace ExampleProject
