#include "cataloguecommands.h"

#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/filelayer.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/recordfile.h"
#include "data/stringgrid.h"

#include <QList>
#include <utility>

namespace {

constexpr int kLastRow = Catalogue::kRows - 1;

bool isMissing(int code)
{
    return code == IoCode::FileNotFound;
}

// Renumbers itinerary files as one transaction: the file that the command
// drops is first moved aside, then the renames are done; any failure other
// than a missing file undoes everything done so far.
class FileShuffle
{
public:
    explicit FileShuffle(const AppState &state) : m_state(state) {}

    ~FileShuffle()
    {
        if (!m_committed)
            rollback();
    }

    void setAside(int row)
    {
        const QString file = path(row);
        m_aside = m_state.project_file(QStringLiteral(".") + Itinerary::fileName(row) +
                                       QStringLiteral(".supprime"));
        FileLayer::removeFile(m_aside);
        const int code = FileLayer::renameFile(file, m_aside);
        if (code != 0 && !isMissing(code))
            throwIoError(code);
        m_asideFrom = code == 0 ? file : QString();
    }

    void move(int from, int to)
    {
        const int code = FileLayer::renameFile(path(from), path(to));
        if (code == 0)
            m_done.append({path(from), path(to)});
        else if (!isMissing(code))
            throwIoError(code);
    }

    void commit()
    {
        m_committed = true;
        if (!m_asideFrom.isEmpty())
            FileLayer::removeFile(m_aside);
    }

private:
    QString path(int row) const { return m_state.project_file(Itinerary::fileName(row)); }

    void rollback()
    {
        for (auto it = m_done.crbegin(); it != m_done.crend(); ++it)
            FileLayer::renameFile(it->second, it->first);
        if (!m_asideFrom.isEmpty())
            FileLayer::renameFile(m_aside, m_asideFrom);
    }

    const AppState &m_state;
    QList<std::pair<QString, QString>> m_done;
    QString m_aside;
    QString m_asideFrom;
    bool m_committed = false;
};

void copyCells(const StringGrid &from, StringGrid &to)
{
    for (int r = 0; r < from.rowCount(); ++r)
        for (int c = 0; c < from.columnCount(); ++c)
            to.setCell(c, r, from.cell(c, r));
}

// Converts the new catalogue and writes it; the caller's files are still
// undoable until this returns.
void saveShifted(AppState &state, StringGrid &catalogue, const StringGrid &shifted,
                 const QByteArray &block, FileShuffle &files)
{
    save_record_file_overwrite(state.project_file(QLatin1String(Catalogue::kFileName)), block);
    state.catalogueBlock = block;
    files.commit();
    copyCells(shifted, catalogue);
}

} // namespace

void deleteCatalogueRow(AppState &state, StringGrid &catalogue, int r)
{
    StringGrid shifted = catalogue;
    shifted.setObservers({}, {});
    shifted.setSelectHandler({});
    for (int i = r; i < kLastRow; ++i)
        shifted.copyRow(i + 1, i);
    shifted.clearRow(kLastRow);
    const QByteArray block = Catalogue::blockFromGrid(shifted, state.catalogueBlock);

    FileShuffle files(state);
    files.setAside(r);
    for (int i = r; i < kLastRow; ++i)
        files.move(i + 1, i);
    saveShifted(state, catalogue, shifted, block, files);
}

void insertCatalogueRow(AppState &state, StringGrid &catalogue, int r)
{
    StringGrid shifted = catalogue;
    shifted.setObservers({}, {});
    shifted.setSelectHandler({});
    for (int j = kLastRow; j > r; --j)
        shifted.copyRow(j - 1, j);
    shifted.clearRow(r);
    const QByteArray block = Catalogue::blockFromGrid(shifted, state.catalogueBlock);

    FileShuffle files(state);
    files.setAside(kLastRow);
    for (int j = kLastRow; j > r; --j)
        files.move(j - 1, j);
    saveShifted(state, catalogue, shifted, block, files);
}

void deleteStageRow(StringGrid &stages, int r)
{
    for (int i = r; i < Itinerary::kStages; ++i)
        stages.copyRow(i + 1, i);
    stages.clearRow(Itinerary::kStages);
}

void insertStageRow(StringGrid &stages, int r)
{
    for (int j = Itinerary::kStages; j > r; --j)
        stages.copyRow(j - 1, j);
}
