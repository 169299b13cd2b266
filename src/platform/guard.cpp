#include "guard.h"

#include "platform.h"

#include <QString>
#include <exception>

// The error type lives in the data layer; the platform layer knows it only as
// a std::exception whose what() is the UTF-8 text.
bool guarded(Platform &platform, QWidget *parent, const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (const std::exception &e) {
        platform.showError(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        platform.showError(parent, QStringLiteral("Erreur inattendue"));
    }
    return false;
}
