#include "SampleServer.h"

#include "TestFiles.h"

SampleServer::SampleServer()
{
    for (const char* file : {"cubes.obvm", "models/pedestal.obv"}) {
        HttpResponse response;
        response.body = ReadFile(std::string(ORB_SOURCE_DIR "/samples/applets/") + file);
        server_.Serve(std::string("/applets/") + file, response);
    }
}
