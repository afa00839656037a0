#include "pooled_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zeva::toolserver {
namespace {

using Clock = std::chrono::steady_clock;

// The accept loop hands each socket over on its own thread; parking one never blocks.
class HandOverQueue final : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> task) override { task(); }
  void shutdown() override {}
};

int Milliseconds(time_t seconds, time_t microseconds) {
  return static_cast<int>(seconds * 1000 + microseconds / 1000);
}

bool Address(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  auto* raw = reinterpret_cast<sockaddr*>(&address);
  if ((peer ? ::getpeername(fd, raw, &length) : ::getsockname(fd, raw, &length)) != 0) {
    return false;
  }
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
    ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    port = ntohs(v4->sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
    ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    port = ntohs(v6->sin6_port);
  } else {
    return false;
  }
  ip = text;
  return true;
}

}  // namespace

// One client connection: the stream the library reads requests from and writes replies to.
// Bytes read past a request stay here for the next one. The head of a reply is held back and
// goes out in one send with the start of its body, so a small reply is one segment: written
// apart, the body waited for the peer's delayed acknowledgement of the head (40 ms).
class PooledServer::Connection final : public httplib::Stream {
 public:
  Connection(int fd, int readTimeoutMs, int writeTimeoutMs)
      : m_fd(fd), m_readTimeoutMs(readTimeoutMs), m_writeTimeoutMs(writeTimeoutMs) {}
  ~Connection() override { ::close(m_fd); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool is_readable() const override { return HasUnread() || Wait(POLLIN, m_readTimeoutMs); }
  bool is_writable() const override { return Wait(POLLOUT, m_writeTimeoutMs); }

  ssize_t read(char* data, size_t size) override {
    if (!HasUnread()) {
      // The library set the read time-out on the socket when it accepted it.
      ssize_t got;
      do {
        got = ::recv(m_fd, m_in.data(), m_in.size(), 0);
      } while (got < 0 && errno == EINTR);
      if (got <= 0) return got;
      m_inStart = 0;
      m_inEnd = static_cast<size_t>(got);
    }
    const size_t count = std::min(size, m_inEnd - m_inStart);
    std::memcpy(data, m_in.data() + m_inStart, count);
    m_inStart += count;
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* data, size_t size) override {
    if (m_holdNext) {
      m_holdNext = false;
      m_held.assign(data, size);
      return static_cast<ssize_t>(size);
    }
    return Send(data, size) ? static_cast<ssize_t>(size) : -1;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    if (m_peerIp.empty()) Address(m_fd, true, m_peerIp, m_peerPort);
    ip = m_peerIp;
    port = m_peerPort;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    if (m_localIp.empty()) Address(m_fd, false, m_localIp, m_localPort);
    ip = m_localIp;
    port = m_localPort;
  }
  socket_t socket() const override { return m_fd; }

  // The next write is a reply's head.
  void HoldNextWrite() { m_holdNext = true; }
  // Sends a head still held (a reply without a body).
  bool Flush() {
    m_holdNext = false;
    return Send(nullptr, 0);
  }
  bool HasUnread() const { return m_inStart < m_inEnd; }
  int Fd() const { return m_fd; }

  // The server's bookkeeping, under its mutex.
  std::size_t served = 0;
  bool registered = false;  // in the epoll set (armed or not)
  bool parked = false;
  std::list<Connection*>::iterator parkedAt;
  Clock::time_point idleDeadline;

 private:
  bool Wait(short events, int timeoutMs) const {
    pollfd watched{m_fd, events, 0};
    int ready;
    do {
      ready = ::poll(&watched, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (watched.revents & (POLLERR | POLLNVAL)) == 0 &&
           (events != POLLOUT || (watched.revents & POLLHUP) == 0);
  }

  // Sends the held head, then `data`, whole.
  bool Send(const char* data, size_t size) {
    size_t heldSent = 0;
    size_t sent = 0;
    while (heldSent < m_held.size() || sent < size) {
      iovec parts[2];
      int count = 0;
      if (heldSent < m_held.size()) {
        parts[count++] = {m_held.data() + heldSent, m_held.size() - heldSent};
      }
      if (sent < size) parts[count++] = {const_cast<char*>(data) + sent, size - sent};
      msghdr message{};
      message.msg_iov = parts;
      message.msg_iovlen = static_cast<size_t>(count);
      // The library set the write time-out on the socket when it accepted it.
      const ssize_t written = ::sendmsg(m_fd, &message, MSG_NOSIGNAL);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        m_held.clear();
        return false;
      }
      const size_t fromHeld = std::min(static_cast<size_t>(written), m_held.size() - heldSent);
      heldSent += fromHeld;
      sent += static_cast<size_t>(written) - fromHeld;
    }
    m_held.clear();
    return true;
  }

  const int m_fd;
  const int m_readTimeoutMs;
  const int m_writeTimeoutMs;
  std::array<char, 4096> m_in{};
  size_t m_inStart = 0;
  size_t m_inEnd = 0;
  bool m_holdNext = false;
  std::string m_held;
  // Asked for every request; the same for the connection's life.
  mutable std::string m_peerIp;
  mutable int m_peerPort = 0;
  mutable std::string m_localIp;
  mutable int m_localPort = 0;
};

PooledServer::PooledServer(std::size_t workers)
    : m_workers(std::make_unique<httplib::ThreadPool>(std::max<std::size_t>(workers, 1))),
      m_epoll(::epoll_create1(EPOLL_CLOEXEC)),
      m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  epoll_event wake{};
  wake.events = EPOLLIN;
  wake.data.ptr = nullptr;
  ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &wake);
  new_task_queue = [] { return new HandOverQueue; };
  m_poller = std::thread([this] { PollLoop(); });
}

PooledServer::~PooledServer() {
  m_stopPolling = true;
  const std::uint64_t one = 1;
  if (::write(m_wake, &one, sizeof one) < 0) {
    // The loop also ends at its next time-out.
  }
  m_poller.join();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
    while (!m_parked.empty()) CloseLocked(m_parked.front());
    // Requests under way end at their next read or write.
    for (auto& [connection, owned] : m_connections) ::shutdown(connection->Fd(), SHUT_RDWR);
  }
  m_workers->shutdown();
  m_connections.clear();
  ::close(m_wake);
  ::close(m_epoll);
}

void PooledServer::WidenBacklog(int backlog) {
  if (svr_sock_ != INVALID_SOCKET) ::listen(svr_sock_, backlog);
}

bool PooledServer::process_and_close_socket(socket_t sock) {
  // Replies go out whole (see Connection), so nothing is gained by delaying small segments.
  const int on = 1;
  ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  auto owned =
      std::make_unique<Connection>(sock, Milliseconds(read_timeout_sec_, read_timeout_usec_),
                                   Milliseconds(write_timeout_sec_, write_timeout_usec_));
  Connection* connection = owned.get();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopping) return false;  // closed with `owned`
    m_connections.emplace(connection, std::move(owned));
  }
  // Its request may not have come yet: it waits for it like any idle connection.
  Park(connection);
  return true;
}

void PooledServer::Serve(Connection* connection) {
  const bool last = svr_sock_ == INVALID_SOCKET || ++connection->served >= keep_alive_max_count_;
  bool closed = false;
  connection->HoldNextWrite();
  bool ok = process_request(*connection, last, closed, nullptr);
  ok = connection->Flush() && ok;
  if (!ok || closed || last) return Close(connection);
  if (connection->HasUnread()) {
    // A request sent before this reply was read: it queues behind the others.
    m_workers->enqueue([this, connection] { Serve(connection); });
    return;
  }
  Park(connection);
}

void PooledServer::Park(Connection* connection) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_stopping) return CloseLocked(connection);
  connection->idleDeadline = Clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
  connection->parkedAt = m_parked.insert(m_parked.end(), connection);
  connection->parked = true;
  // One report per arming: a connection is handed to one worker at a time.
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
  event.data.ptr = connection;
  const int operation = connection->registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
  if (::epoll_ctl(m_epoll, operation, connection->Fd(), &event) != 0)
    return CloseLocked(connection);
  connection->registered = true;
}

void PooledServer::Close(Connection* connection) {
  std::lock_guard<std::mutex> lock(m_mutex);
  CloseLocked(connection);
}

void PooledServer::CloseLocked(Connection* connection) {
  if (connection->parked) {
    m_parked.erase(connection->parkedAt);
    connection->parked = false;
  }
  if (connection->registered) ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, connection->Fd(), nullptr);
  m_connections.erase(connection);  // closes the socket
}

void PooledServer::PollLoop() {
  std::array<epoll_event, 256> events;
  std::vector<Connection*> ready;
  while (!m_stopPolling) {
    int timeoutMs = 1000;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (!m_parked.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_parked.front()->idleDeadline - Clock::now());
        timeoutMs = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 1000));
      }
    }
    const int count =
        ::epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), timeoutMs);
    if (count < 0 && errno != EINTR) break;
    ready.clear();
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      for (int i = 0; i < count; ++i) {
        auto* connection = static_cast<Connection*>(events[static_cast<size_t>(i)].data.ptr);
        // Only this thread takes a parked connection out of the set, or closes it.
        if (connection == nullptr || !connection->parked) continue;
        m_parked.erase(connection->parkedAt);
        connection->parked = false;
        ready.push_back(connection);
      }
      const auto now = Clock::now();
      while (!m_parked.empty() && m_parked.front()->idleDeadline <= now) {
        CloseLocked(m_parked.front());
      }
    }
    for (Connection* connection : ready) {
      m_workers->enqueue([this, connection] { Serve(connection); });
    }
  }
}

}  // namespace zeva::toolserver
