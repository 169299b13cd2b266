#pragma once

#include <QString>
#include <QValidator>

// The typing masks of the grids and fields, written in the mask notation the
// program's tables use ("9" optional digit, "0" required digit, "C" required
// and "c" optional character, ">" upper case, "!" and ";0" display flags),
// turned into what a QLineEdit enforces as keys are typed. Every mask of the
// program is known here; an unknown or empty mask means free text.
class MaskValidator : public QValidator
{
    Q_OBJECT
public:
    explicit MaskValidator(const QString &mask, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

    const QString &mask() const { return m_mask; }
    int maxLength() const { return m_maxLength; }
    bool isFreeText() const { return m_kind == Kind::FreeText; }

private:
    enum class Kind { FreeText, Code, Digits, Time, TimeLooseMinutes, Date };

    QString m_mask;
    Kind m_kind = Kind::FreeText;
    int m_maxLength = 32767;
};
