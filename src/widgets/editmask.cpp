#include "editmask.h"

#include <QRegularExpression>

namespace {

bool allDigits(const QString &s)
{
    for (QChar c : s) {
        if (!c.isDigit() || c.unicode() > '9')
            return false;
    }
    return true;
}

// Inserts the separator when the user types on past a full group of two
// digits, so "0830" typed straight becomes "08:30".
void insertSeparator(QString &input, int &pos, QChar separator, int groupCount)
{
    QString out;
    int digitsInGroup = 0;
    int groups = 1;
    int newPos = pos;
    for (int i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i);
        if (c == separator) {
            digitsInGroup = 0;
            ++groups;
            out.append(c);
            continue;
        }
        if (digitsInGroup == 2 && groups < groupCount) {
            out.append(separator);
            if (i < pos)
                ++newPos;
            digitsInGroup = 0;
            ++groups;
        }
        out.append(c);
        ++digitsInGroup;
    }
    input = out;
    pos = newPos;
}

} // namespace

MaskValidator::MaskValidator(const QString &mask, QObject *parent)
    : QValidator(parent), m_mask(mask)
{
    // The digits-only masks: "999999;0", "999;0; ", "99999;0; ", "999999", "9999999".
    const QString body = mask.section(QLatin1Char(';'), 0, 0);
    if (mask == QLatin1String(">Cc")) {
        m_kind = Kind::Code;
        m_maxLength = 2;
    } else if (!body.isEmpty() && body.count(QLatin1Char('9')) == body.size()) {
        m_kind = Kind::Digits;
        m_maxLength = static_cast<int>(body.size());
    } else if (mask == QLatin1String("!90:00!")) {
        m_kind = Kind::Time;
        m_maxLength = 5;
    } else if (mask == QLatin1String("90:90")) {
        m_kind = Kind::TimeLooseMinutes;
        m_maxLength = 5;
    } else if (mask == QLatin1String("!90/90/90")) {
        // Widened to take a four-digit year as well.
        m_kind = Kind::Date;
        m_maxLength = 10;
    }
}

QValidator::State MaskValidator::validate(QString &input, int &pos) const
{
    switch (m_kind) {
    case Kind::FreeText:
        return Acceptable;
    case Kind::Code:
        input = input.toUpper();
        if (input.size() > 2)
            return Invalid;
        return input.isEmpty() ? Intermediate : Acceptable;
    case Kind::Digits:
        if (input.size() > m_maxLength || !allDigits(input))
            return Invalid;
        return Acceptable;
    case Kind::Time:
    case Kind::TimeLooseMinutes: {
        insertSeparator(input, pos, QLatin1Char(':'), 2);
        static const QRegularExpression partial(QStringLiteral("^\\d{0,2}(:\\d{0,2})?$"));
        static const QRegularExpression full(QStringLiteral("^\\d{1,2}:\\d{2}$"));
        static const QRegularExpression loose(QStringLiteral("^\\d{1,2}:\\d{1,2}$"));
        if (!partial.match(input).hasMatch())
            return Invalid;
        if (input.isEmpty())
            return Acceptable;
        const bool complete =
            m_kind == Kind::Time ? full.match(input).hasMatch() : loose.match(input).hasMatch();
        return complete ? Acceptable : Intermediate;
    }
    case Kind::Date: {
        insertSeparator(input, pos, QLatin1Char('/'), 3);
        static const QRegularExpression partial(
            QStringLiteral("^\\d{0,2}(/\\d{0,2}(/\\d{0,4})?)?$"));
        static const QRegularExpression full(
            QStringLiteral("^\\d{1,2}/\\d{1,2}/(\\d{1,2}|\\d{4})$"));
        if (!partial.match(input).hasMatch())
            return Invalid;
        if (input.isEmpty())
            return Acceptable;
        return full.match(input).hasMatch() ? Acceptable : Intermediate;
    }
    }
    return Acceptable;
}
