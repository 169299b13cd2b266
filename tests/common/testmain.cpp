#include "testmain.h"

#include "data/moduleloader.h"

#include <QApplication>
#include <QTest>
#include <memory>

namespace TestRegistry {
std::vector<Factory> &factories()
{
    static std::vector<Factory> list;
    return list;
}
} // namespace TestRegistry

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quor"));
    ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_TEST_MODULE_DIR));
    int failures = 0;
    for (const auto &make : TestRegistry::factories()) {
        std::unique_ptr<QObject> test(make());
        failures += QTest::qExec(test.get(), argc, argv) != 0 ? 1 : 0;
    }
    return failures == 0 ? 0 : 1;
}
