#include "control/ControlModule.h"

#include <atomic>

#include "channel/RendererGroup.h"
#include "control/AppletControl.h"
#include "control/ControlFetcher.h"

namespace {

std::atomic<long> locks{0};

}  // namespace

void ControlModule::Lock()
{
    ++locks;
}

void ControlModule::Unlock()
{
    --locks;
}

bool ControlModule::CanUnload()
{
    return locks.load() == 0 && AppletControl::Live() == 0 && ControlFetcher::Live() == 0 && Groups().Live() == 0;
}
