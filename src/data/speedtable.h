#pragma once

#include <QByteArray>
#include <QString>

// The speeds and stop durations: 15 entries of a label and a value, in five
// groups of three (V, T, O, M, P), held as the 300-byte block of its file.
class SpeedTable
{
public:
    static constexpr int kEntryCount = 15;
    static constexpr int kEntrySize = 20;
    static constexpr int kBlockSize = kEntryCount * kEntrySize;
    static constexpr int kLabelCapacity = 15;
    static constexpr int kValueOffset = 16;
    static constexpr char kGroupLetters[] = "VTOMP";

    SpeedTable();

    QString label(int entry) const;
    qint32 value(int entry) const;
    void setValue(int entry, qint32 value);

    const QByteArray &block() const { return m_block; }
    void setBlock(const QByteArray &block);

    static QByteArray defaultBlock();
    // 1..5 for a group letter, 0 for any other.
    static int groupOfLetter(QChar letter);
    static int entryOf(int group, int position) { return 3 * (group - 1) + (position - 1); }

private:
    QByteArray m_block;
};

struct AppState;

// Loaded once at start-up from ProgramDirectory/Quorc.qud, created with the
// default table when it cannot be opened.
void load_speed_table(AppState &state);
// Writes the whole block over the existing file.
void save_speed_table(const AppState &state);
