// The cubes sample served over HTTP on the loopback, for containers that know no page
// address: only an absolute src of a scheme resources may come from can play there.
#pragma once

#include <string>

#include "LoopbackHttpServer.h"

class SampleServer {
public:
    SampleServer();
    bool Listening() const { return server_.Listening(); }
    std::string AppletUrl() const { return server_.Url("/applets/cubes.obvm"); }

private:
    LoopbackHttpServer server_;
};
