#include "quorerror.h"

#include <cerrno>
#include <limits>

QuorError::QuorError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}

QString ioErrorText(int code)
{
    switch (code) {
    case IoCode::FileNotFound:
        return QStringLiteral("Fichier introuvable");
    case IoCode::PathNotFound:
        return QStringLiteral("Nom de fichier incorrect");
    case IoCode::TooManyOpenFiles:
        return QStringLiteral("Trop de fichiers ouverts");
    case IoCode::AccessDenied:
        return QStringLiteral("Accès au fichier refusé");
    case IoCode::ReadBeyondEnd:
        return QStringLiteral("Lecture au-delà de la fin de fichier");
    case IoCode::DiskFull:
        return QStringLiteral("Disque plein");
    case IoCode::InvalidNumericInput:
        return QStringLiteral("Saisie numérique incorrecte");
    default:
        return QStringLiteral("Erreur E/S %1").arg(code);
    }
}

int ioCodeFromErrno(int err)
{
    switch (err) {
    case ENOENT:
        return IoCode::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return IoCode::PathNotFound;
    case EMFILE:
    case ENFILE:
        return IoCode::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBUSY:
        return IoCode::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return IoCode::DiskFull;
    default:
        break;
    }
    // Every other system error keeps its own number, shifted above the
    // runtime's codes: passed through as it is, EIO (5) would read "access
    // refused" and ENETDOWN (100) "read beyond the end".
    if (err > 0 && err <= std::numeric_limits<int>::max() - IoCode::SystemErrorBase)
        return IoCode::SystemErrorBase + err;
    return IoCode::SystemErrorBase;
}

void throwIoError(int code)
{
    throw QuorError(ioErrorText(code));
}

void throwIntegerError(const QString &text)
{
    throw QuorError(QStringLiteral("'%1' n'est pas une valeur entière correcte").arg(text));
}

void throwDateError(const QString &text)
{
    throw QuorError(QStringLiteral("'%1' n'est pas une date correcte").arg(text));
}

void throwTimeError(const QString &text)
{
    throw QuorError(QStringLiteral("'%1' n'est pas une heure correcte").arg(text));
}

void throwCannotCreate(const QString &path)
{
    throw QuorError(QStringLiteral("Impossible de créer le fichier %1").arg(path));
}

void throwCannotOpen(const QString &path)
{
    throw QuorError(QStringLiteral("Impossible d'ouvrir le fichier %1").arg(path));
}

void throwListIndex(int index)
{
    throw QuorError(QStringLiteral("Indice de liste hors limites (%1)").arg(index));
}

void throwDivisionByZero()
{
    throw QuorError(QStringLiteral("Division par zéro en virgule flottante"));
}

void throwInvalidFloatOperation()
{
    throw QuorError(QStringLiteral("Opération en virgule flottante incorrecte"));
}

long double checkedDivide(long double dividend, long double divisor)
{
    if (divisor == 0.0L) {
        if (dividend == 0.0L)
            throwInvalidFloatOperation();
        throwDivisionByZero();
    }
    return dividend / divisor;
}
