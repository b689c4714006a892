#include "core/kdmainservices.h"

namespace {
TkdMainServices *&Current()
{
    static TkdMainServices *services = nullptr;
    return services;
}
} // namespace

TkdMainServices *MainServices() { return Current(); }
void SetMainServices(TkdMainServices *services) { Current() = services; }
