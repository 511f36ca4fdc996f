// What keeps the library loaded: live controls, the container's locks on the class
// factory, renderer groups (a renderer being shut down after its control has gone) and
// fetchers, whose download threads run our code.
#pragma once

namespace ControlModule {

void Lock();
void Unlock();
bool CanUnload();

}  // namespace ControlModule
