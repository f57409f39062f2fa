#include "WebServer.h"

namespace calidra::tool {

namespace {

// Bodies of control requests are a few form fields.
constexpr std::size_t kMaxBody = 4096;
// The library's default of 5 would close a viewer's connection every few frames.
constexpr std::size_t kRequestsPerConnection = 100000;

}  // namespace

WebServer::WebServer(int threads) {
    server_.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
    server_.set_keep_alive_max_count(kRequestsPerConnection);
    server_.set_payload_max_length(kMaxBody);
    server_.set_tcp_nodelay(true);
}

int WebServer::Bind(const ListenAddress& address) {
    if (address.port == 0) return server_.bind_to_any_port(address.host);
    return server_.bind_to_port(address.host, address.port) ? address.port : -1;
}

void WebServer::Start() {
    listener_ = std::thread([this] {
        server_.listen_after_bind();
        listenerEnded_ = true;
    });
    // A stop before the listener runs would be missed.
    while (!server_.is_running() && !listenerEnded_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void WebServer::Stop() {
    if (!listener_.joinable()) return;
    server_.stop();
    listener_.join();
}

}  // namespace calidra::tool
