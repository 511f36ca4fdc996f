#include "base/ModuleHold.h"

std::atomic<unsigned long> ModuleHold::shutdowns_{0};

ModuleHold::ModuleHold() : shutdownsAtStart_(shutdowns_.load())
{
    // The module this code was linked into: the plug-in's library, or the program itself.
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&shutdowns_),
                       module_.Receive());
}

ModuleHold::~ModuleHold()
{
    if (shutdowns_.load() != shutdownsAtStart_) module_.Release();
}

void ModuleHold::LibraryShutDown()
{
    ++shutdowns_;
}
