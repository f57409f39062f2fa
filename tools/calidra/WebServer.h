// The HTTP server of calidra serve, set up for long requests: a fixed pool of
// threads, many requests per connection, small request bodies. It listens in
// a thread of its own until Stop.
#pragma once

#include <httplib.h>

#include <atomic>
#include <thread>

#include "ListenAddress.h"

namespace calidra::tool {

class WebServer {
public:
    // threads: connections served at once (each long request holds one).
    explicit WebServer(int threads);
    ~WebServer() { Stop(); }
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    httplib::Server& Routes() { return server_; }
    // The port bound (the one asked for, or a free one for port 0); -1 when
    // the address cannot be bound.
    int Bind(const ListenAddress& address);
    void Start();
    // Stops listening and waits until every request in progress has ended.
    void Stop();

private:
    httplib::Server server_;
    std::thread listener_;
    std::atomic<bool> listenerEnded_{false};
};

}  // namespace calidra::tool
