// An httplib::Server whose connections hold a worker only while one of their requests is read
// and answered. Between requests a kept-alive connection waits in one epoll set, so idle
// connections never keep a worker from a connection whose request is waiting: the library's
// own loop holds a worker per connection for as long as it is kept alive.
#pragma once

#include <atomic>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include <httplib.h>

namespace zeva::toolserver {

class PooledServer : public httplib::Server {
 public:
  // `workers` threads answer requests; the library's keep-alive settings still apply: a
  // connection idle for the keep-alive time-out is closed, and one that reached the maximum
  // count of requests is closed after its last reply.
  explicit PooledServer(std::size_t workers);
  // Stop it and join the thread that listened before: this closes the connections left.
  ~PooledServer() override;
  PooledServer(const PooledServer&) = delete;
  PooledServer& operator=(const PooledServer&) = delete;

  // Call after binding: the library listens with a backlog of 5, and a burst of new
  // connections overflows it long before the workers are busy.
  void WidenBacklog(int backlog);

 private:
  class Connection;

  // Called by the library's accept loop, on its thread: the socket joins the waiting ones.
  bool process_and_close_socket(socket_t sock) override;

  void Serve(Connection* connection);
  void Park(Connection* connection);
  void Close(Connection* connection);
  void CloseLocked(Connection* connection);
  void PollLoop();

  std::unique_ptr<httplib::ThreadPool> m_workers;
  int m_epoll = -1;
  int m_wake = -1;  // an eventfd that ends the poll loop
  std::thread m_poller;

  std::mutex m_mutex;  // guards everything below and every connection's parked state
  std::unordered_map<Connection*, std::unique_ptr<Connection>> m_connections;
  std::list<Connection*> m_parked;  // oldest first: their idle deadlines come in this order
  bool m_stopping = false;
  std::atomic<bool> m_stopPolling{false};
};

}  // namespace zeva::toolserver
