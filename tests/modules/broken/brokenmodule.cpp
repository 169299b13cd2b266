// A module as a faulty build or a half-upgraded system leaves it: it loads,
// but calls a function that no library of the process holds.
extern "C" void quor_function_nowhere();

extern "C" __attribute__((visibility("default"))) const void *quor_broken_functions()
{
    quor_function_nowhere();
    return nullptr;
}
