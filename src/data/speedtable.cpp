#include "speedtable.h"

#include "appstate.h"
#include "countedstring.h"
#include "recordfile.h"

namespace {

struct DefaultEntry
{
    const char16_t *label;
    qint32 value;
};

// Labels as the program has always written them ("Nationnale", "Monté").
constexpr DefaultEntry kDefaults[SpeedTable::kEntryCount] = {
    {u"Autoroute", 100},     {u"Nationnale", 70}, {u"Départementale", 50}, {u"Nationnale", 70},
    {u"Départementale", 50}, {u"Forestière", 30}, {u"Monté", 15},          {u"Plat", 20},
    {u"Descente", 25},       {u"Monté", 300},     {u"Plat", 4000},         {u"Descente", 500},
    {u"Arrêt", 15},          {u"Collation", 30},  {u"Repas", 60},
};

} // namespace

SpeedTable::SpeedTable() : m_block(defaultBlock()) {}

QString SpeedTable::label(int entry) const
{
    return CountedString::read(m_block, entry * kEntrySize, kLabelCapacity);
}

qint32 SpeedTable::value(int entry) const
{
    return LittleEndian::readInt32(m_block, entry * kEntrySize + kValueOffset);
}

void SpeedTable::setValue(int entry, qint32 value)
{
    LittleEndian::writeInt32(m_block, entry * kEntrySize + kValueOffset, value);
}

void SpeedTable::setBlock(const QByteArray &block)
{
    Q_ASSERT(block.size() == kBlockSize);
    m_block = block;
}

QByteArray SpeedTable::defaultBlock()
{
    QByteArray block(kBlockSize, '\0');
    for (int i = 0; i < kEntryCount; ++i) {
        CountedString::write(block, i * kEntrySize, kLabelCapacity,
                             QString::fromUtf16(kDefaults[i].label));
        LittleEndian::writeInt32(block, i * kEntrySize + kValueOffset, kDefaults[i].value);
    }
    return block;
}

int SpeedTable::groupOfLetter(QChar letter)
{
    for (int g = 0; g < 5; ++g) {
        if (letter == QLatin1Char(kGroupLetters[g]))
            return g + 1;
    }
    return 0;
}

void load_speed_table(AppState &state)
{
    state.speedTable.setBlock(load_record_file(state.programDirectory + QStringLiteral("Quorc.qud"),
                                               SpeedTable::kBlockSize, SpeedTable::defaultBlock()));
}

void save_speed_table(const AppState &state)
{
    save_record_file_overwrite(state.programDirectory + QStringLiteral("Quorc.qud"),
                               state.speedTable.block());
}
