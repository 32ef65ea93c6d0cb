// The score server's HTTP layer on cpp-httplib: the wait for each request
// away from the workers and the time a connection may take to send it,
// routing, the request-line limit, error replies, the request log and a
// stop that answers every request that has arrived, within a deadline.
#include "http_server.h"

#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "request_stream.h"
#include "waiting_room.h"

namespace scores {
namespace {

// Room for many clients connecting at once (the game opens one connection
// per exchange).
constexpr int ListenBacklog = 128;
// Time from taking a connection up to the end of its request line and
// headers. The game sends its whole request at once, right after connecting.
constexpr std::chrono::milliseconds RequestHeadLimit{2000};
constexpr std::chrono::milliseconds WriteTimeout{5000};
// From the start of a stop, the time the requests that have arrived have to
// be stored, all together, while another process holds the database; those
// still waiting then are answered 503. No longer than the busy wait of one
// request, so that the whole stop stays well within 10 seconds.
constexpr std::chrono::milliseconds StopStoreLimit{5000};
constexpr std::size_t MaxBodyBytes = 0;  // a score request is a GET with no body

// How the log names refusals: "<status> refused: <reason>" for a request
// answered with an error, "cut: <reason>" for a connection closed without a
// reply. The service's refusals come as "refused: <reason>".
constexpr char RefusedPrefix[] = "refused: ";
constexpr char RefusedKind[] = " refused";
constexpr char CutKind[] = "cut";
constexpr char CutLongLine[] = "request line too long";
constexpr char CutStopping[] = "server stopping";
std::string CutNoRequestLine() {
  return "no request line within " +
         std::to_string(std::chrono::duration_cast<std::chrono::seconds>(RequestHeadLimit).count()) +
         " s";
}

class Server;

// httplib's worker pool, as many workers as httplib would start, with a
// waiting room in front: a connection whose request has not arrived waits
// there, not on a worker, and comes back to the pool once it has.
class HandOffQueue : public httplib::TaskQueue {
 public:
  explicit HandOffQueue(Server& server);

  void enqueue(std::function<void()> fn) override { pool_.enqueue(std::move(fn)); }
  // The room first, so that nothing is handed to the pool once it stops.
  void shutdown() override {
    room_.Stop();
    pool_.shutdown();
  }

  WaitingRoom& Room() { return room_; }

 private:
  httplib::ThreadPool pool_;
  WaitingRoom room_;
};

// httplib's server with access to its listening socket, so the backlog can
// be widened after binding (the library's own backlog is very short), and
// with its own handling of a connection: httplib's keeps a worker waiting
// for the request, anew for each read, so a few clients that send nothing,
// or a byte now and then, would hold every worker.
class Server : public httplib::Server {
 public:
  explicit Server(ServerLog& log) : log_(log) {
    new_task_queue = [this] {
      auto* queue = new HandOffQueue(*this);
      queue_ = queue;
      return queue;
    };
  }

  void WidenBacklog() {
    const socket_t sock = svr_sock_;
    if (sock != INVALID_SOCKET) ::listen(sock, ListenBacklog);
  }

  // One request per connection, read until `deadline`; the reply closes the
  // connection. A connection that sends no whole request line in time is
  // closed without a reply, as httplib closes one that sends nothing. Once
  // the server stops, a request that has arrived is still served, and a
  // connection still waiting for its head is closed.
  void Serve(socket_t sock, WaitingRoom::Clock::time_point deadline) {
    RequestStream stream(sock, deadline, WriteTimeout);
    if (svr_sock_ == INVALID_SOCKET && PeekRequestHead(sock) == RequestHead::Waiting) {
      LogCut(stream, CutStopping);
    } else {
      bool closed = false;
      process_request(stream, true, closed, nullptr);
      // A client that sent nothing and left is not a refusal; one that was
      // cut off by its deadline is.
      if (!stream.Replied() && stream.TimedOut())
        LogCut(stream, stream.Received() >= MaxRequestHeadBytes ? CutLongLine
                                                                 : CutNoRequestLine());
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
  }

 private:
  // A request that is all there (the game sends it at once) is served right
  // away; any other connection waits in the room until it is. A head longer
  // than any the server reads gets no time to trickle in the rest.
  bool process_and_close_socket(socket_t sock) override {
    const auto now = WaitingRoom::Clock::now();
    const auto deadline = now + RequestHeadLimit;
    const RequestHead head = PeekRequestHead(sock);
    HandOffQueue* queue = queue_;
    if (head == RequestHead::Waiting && svr_sock_ != INVALID_SOCKET && queue &&
        queue->Room().Watch(sock, deadline))
      return true;
    Serve(sock, head == RequestHead::Overlong ? now : deadline);
    return true;
  }

  void LogCut(const RequestStream& stream, const std::string& reason) {
    std::string from;
    int port = 0;
    stream.get_remote_ip_and_port(from, port);
    log_.Refusal(from.empty() ? "-" : from, CutKind, reason);
  }

  ServerLog& log_;
  std::atomic<HandOffQueue*> queue_{nullptr};
};

HandOffQueue::HandOffQueue(Server& server)
    : pool_(CPPHTTPLIB_THREAD_POOL_COUNT),
      room_([this, &server](int sock, WaitingRoom::Clock::time_point deadline) {
        pool_.enqueue([&server, sock, deadline] { server.Serve(sock, deadline); });
      }) {}

std::size_t RequestLineLength(const httplib::Request& req) {
  return req.method.size() + 1 + req.target.size() + 1 + req.version.size();
}

void SetReason(httplib::Response& res, int status, const std::string& reason) {
  res.status = status;
  res.set_content(reason + "\n", "text/plain");
}

}  // namespace

struct ScoreHttpServer::Impl {
  Impl(ScoreService& s, ServerLog& l) : service(s), log(l), server(l) {}

  void Install();
  void LogAnswer(const httplib::Request& req, int status, const std::string& what);

  ScoreService& service;
  ServerLog& log;
  Server server;
  std::mutex mutex;
  std::condition_variable changed;
  bool stopRequested = false;
  bool running = false;
};

void ScoreHttpServer::Impl::LogAnswer(const httplib::Request& req, int status,
                                      const std::string& what) {
  // Requests refused before their head was read carry no address.
  const std::string from = req.remote_addr.empty() ? "-" : req.remote_addr;
  const std::size_t prefix = sizeof RefusedPrefix - 1;
  if (what.compare(0, prefix, RefusedPrefix) == 0)
    log.Refusal(from, std::to_string(status) + RefusedKind, what.substr(prefix));
  else
    log.Line(from + " " + std::to_string(status) + " " + what);
}

void ScoreHttpServer::Impl::Install() {
  // One request per connection, as the game makes it: every reply closes the
  // connection, also the replies to requests too broken to be read, after
  // which a kept-alive connection would leave the client waiting.
  server.set_keep_alive_max_count(1);
  // The connection handling above keeps its own time limits; httplib's are
  // set to the same for anything of the library's that reads them.
  using std::chrono::duration_cast;
  using std::chrono::seconds;
  server.set_read_timeout(duration_cast<seconds>(RequestHeadLimit).count(), 0);
  server.set_write_timeout(duration_cast<seconds>(WriteTimeout).count(), 0);
  server.set_payload_max_length(MaxBodyBytes);
  // The reply goes out as two writes (head, then body); without this the body
  // waits for the client's delayed acknowledgement of the head.
  server.set_tcp_nodelay(true);
  // SO_REUSEADDR only: a second server on a port in use must fail to bind.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });

  server.set_pre_routing_handler([this](const httplib::Request& req,
                                        httplib::Response& res) {
    if (RequestLineLength(req) > MaxRequestLine) {
      SetReason(res, StatusBadRequest, "request line too long");
      LogAnswer(req, res.status, "refused: request line too long");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET") {
      SetReason(res, StatusMethodNotAllowed, "only GET is served");
      LogAnswer(req, res.status, "refused: method " + req.method);
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  server.Get(R"(/Scores\.php)", [this](const httplib::Request& req,
                                       httplib::Response& res) {
    const std::size_t mark = req.target.find('?');
    const std::string query = mark == std::string::npos ? "" : req.target.substr(mark + 1);
    const ServiceReply reply = service.HandleScores(query, req.remote_addr);
    res.status = reply.status;
    res.set_content(reply.body, "text/plain");
    LogAnswer(req, reply.status, reply.log);
  });

  // Errors that httplib raises itself (unknown path, unreadable request, a
  // request line beyond its own limit) get a reason too; an over-long line is
  // a bad request like any other line over our limit.
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [this](const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    std::string reason;
    switch (res.status) {
      case StatusNotFound: reason = "not found"; break;
      case StatusUriTooLong:
        res.status = StatusBadRequest;
        reason = "request line too long";
        break;
      case StatusBadRequest: reason = "malformed request"; break;
      default: reason = "request refused"; break;
    }
    SetReason(res, res.status, reason);
    LogAnswer(req, res.status, "refused: " + reason);
    return httplib::Server::HandlerResponse::Handled;
  }));

  // A reply written to a client that has gone must not end the process.
  ::signal(SIGPIPE, SIG_IGN);
}

ScoreHttpServer::ScoreHttpServer(ScoreService& service, ServerLog& log)
    : impl_(std::make_unique<Impl>(service, log)) {
  impl_->Install();
}

ScoreHttpServer::~ScoreHttpServer() { Stop(); }

int ScoreHttpServer::Bind(const std::string& host, int port) {
  int bound = -1;
  if (port == 0) {
    bound = impl_->server.bind_to_any_port(host);
  } else if (impl_->server.bind_to_port(host, port)) {
    bound = port;
  }
  if (bound <= 0) return -1;
  impl_->server.WidenBacklog();
  return bound;
}

bool ScoreHttpServer::Run() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->stopRequested) return true;
    impl_->running = true;
  }
  const bool ok = impl_->server.listen_after_bind();
  // Every request has been answered: the refusals counted since the last
  // summary are written now.
  impl_->log.Flush();
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->running = false;
  }
  impl_->changed.notify_all();
  return ok;
}

void ScoreHttpServer::Stop() {
  // First, so that a request already waiting for a held database counts
  // from now too.
  impl_->service.StopBy(ScoreStore::Clock::now() + StopStoreLimit);
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->stopRequested = true;
  // httplib only stops a loop that has started; wait until it has, or until
  // Run has ended on its own.
  while (impl_->running && !impl_->server.is_running())
    impl_->changed.wait_for(lock, std::chrono::milliseconds(1));
  if (impl_->running) impl_->server.stop();
  while (impl_->running) impl_->changed.wait(lock);
}

}  // namespace scores
