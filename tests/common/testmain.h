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
    explicit Registrar(bool first = false)
    {
        const Factory make = [] { return new T; };
        if (first)
            factories().insert(factories().begin(), make);
        else
            factories().push_back(make);
    }
};
} // namespace TestRegistry

#define QUOR_TEST(Class) static TestRegistry::Registrar<Class> s_registrar_##Class;
// For the one class of an executable that must run before the others, such
// as one that checks which libraries the process has not loaded yet.
#define QUOR_TEST_FIRST(Class) static TestRegistry::Registrar<Class> s_registrar_##Class(true);
