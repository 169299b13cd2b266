#pragma once

#include <QObject>
#include <functional>
#include <vector>

// Test classes register themselves; one main runs them all.
namespace TestRegistry {
using Factory = std::function<QObject *()>;
std::vector<Factory> &factories();

template <typename T> struct Registrar
{
    Registrar()
    {
        factories().push_back([] { return new T; });
    }
};
} // namespace TestRegistry

#define QUOR_TEST(Class) static TestRegistry::Registrar<Class> s_registrar_##Class;
