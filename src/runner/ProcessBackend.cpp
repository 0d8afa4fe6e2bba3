#include "runner/ProcessBackend.h"

#include <thread>

void IProcessBackend::Launch(std::function<void()> body)
{
    // Nobody joins a worker: it ends by itself, and the user-interface thread must never wait
    // for a thread that may be waiting for it.
    std::thread(std::move(body)).detach();
}
