#pragma once

#include <QString>
#include <exception>

// The one failure type of the program. It carries the final French text that
// the standard error display shows; the command in progress ends where it is
// thrown and what it already changed stays changed.
class QuorError : public std::exception
{
public:
    explicit QuorError(QString text);

    const QString &text() const { return m_text; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

// Input/output error codes of the runtime, and the texts the user sees for them.
namespace IoCode {
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int TooManyOpenFiles = 4;
constexpr int AccessDenied = 5;
constexpr int ReadBeyondEnd = 100;
constexpr int DiskFull = 101;
constexpr int InvalidNumericInput = 106;
// A system error without a code of its own is shown as this base plus its
// errno, so "Erreur E/S 1005" is EIO and no number clashes with a code above.
constexpr int SystemErrorBase = 1000;
} // namespace IoCode

QString ioErrorText(int code);
// Maps a POSIX errno to the runtime's input/output code: the families that
// have a code of their own get it, every other error SystemErrorBase + errno.
int ioCodeFromErrno(int err);

[[noreturn]] void throwIoError(int code);
[[noreturn]] void throwIntegerError(const QString &text);
[[noreturn]] void throwDateError(const QString &text);
[[noreturn]] void throwTimeError(const QString &text);
[[noreturn]] void throwCannotCreate(const QString &path);
[[noreturn]] void throwCannotOpen(const QString &path);
[[noreturn]] void throwListIndex(int index);
[[noreturn]] void throwDivisionByZero();
[[noreturn]] void throwInvalidFloatOperation();

// Floating-point division that fails as the runtime does on a zero divisor.
long double checkedDivide(long double dividend, long double divisor);
