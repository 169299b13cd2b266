#pragma once

struct AppState;
class StringGrid;

// The row commands of the catalogue and of the stage grid. In the catalogue
// the itinerary files follow their rows: row N always owns quorN.qud.

// Deletes catalogue row r: its itinerary goes, later rows and their files
// move up, row 49 ends empty, and the catalogue is saved. Every cell is
// converted before any file is touched; a file that cannot be moved puts
// every file back and leaves the grid and the catalogue file as they were.
void deleteCatalogueRow(AppState &state, StringGrid &catalogue, int r);

// Inserts an empty catalogue row at r: rows r..48 and their files move down,
// row 49 and its itinerary are discarded, and the catalogue is saved. Same
// guarantees as the delete.
void insertCatalogueRow(AppState &state, StringGrid &catalogue, int r);

// Stage rows, in the grid only.
void deleteStageRow(StringGrid &stages, int r);
void insertStageRow(StringGrid &stages, int r);
