#pragma once

#include <QChar>

class SpeedTable;
class StringGrid;

// Recomputes the time of day of every stage of the stage grid: from the
// departure of catalogue row `catalogueRow`, each leg's duration from its means
// code, distance and height difference at the speed table's rates. Writes the
// walking codes it chooses, the times, and the arrival into the catalogue row.
// Throws the integer, time and floating-point messages; the cells written
// before the failure keep their new values.
void compute_stage_times(StringGrid &stages, StringGrid &catalogue, int catalogueRow,
                         const SpeedTable &speeds);

// The speed-table entry of a two-character means code, or -1 for a code the
// program does not know.
int speedEntryOfCode(QChar mode, QChar entry);
