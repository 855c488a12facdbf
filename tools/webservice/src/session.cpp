#include "session.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "text.h"

namespace webservice {
namespace {

namespace beast = boost::beast;
namespace http = boost::beast::http;

constexpr std::uint32_t kHeaderLimit = 16 * 1024;
constexpr std::uint64_t kBodyLimit = 64 * 1024;
constexpr std::size_t kChunkSize = 64 * 1024;
// A reader that takes nothing for this long is gone (a paused player keeps reading slowly).
constexpr std::chrono::seconds kWriteTimeout(60);
constexpr std::chrono::seconds kDrainTime(2);

// The answer to a request that could not be read, or none when the connection just ends.
std::optional<Answer> AnswerToReadError(const beast::error_code& ec) {
    if (ec == http::error::header_limit) return TextAnswer(431, "request header too large");
    if (ec == http::error::body_limit) return TextAnswer(413, "request body too large");
    if (ec == http::error::end_of_stream || ec == http::error::partial_message) return {};
    if (ec.category() == http::make_error_code(http::error::bad_target).category())
        return TextAnswer(400, "bad request");
    return {};
}

}  // namespace

Session::Session(boost::asio::ip::tcp::socket socket, std::shared_ptr<ServiceState> state)
    : stream_(std::move(socket)),
      buffer_(kHeaderLimit + kBodyLimit),
      delay_(stream_.get_executor()),
      state_(std::move(state)) {
    ++state_->openConnections;
}

Session::~Session() {
    if (file_ >= 0) ::close(file_);
    --state_->openConnections;
}

void Session::Start() { ReadRequest(); }

void Session::ReadRequest() {
    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    parser_->body_limit(kBodyLimit);
    stream_.expires_after(state_->ReadTimeout());
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code ec, std::size_t) { self->OnRead(ec); });
}

void Session::OnRead(beast::error_code ec) {
    if (ec) {
        const auto answer = AnswerToReadError(ec);
        if (!answer) return Close();
        answer_ = *answer;
        headOnly_ = false;
        keepAlive_ = false;
        return Respond();
    }
    const auto& message = parser_->get();
    Request request;
    request.method = std::string(message.method_string());
    request.target = std::string(message.target());
    request.range = std::string(message[http::field::range]);
    headOnly_ = message.method() == http::verb::head;
    keepAlive_ = message.keep_alive();
    state_->log.Record(request.method, request.target);
    AnswerAfterDelay(request);
}

void Session::AnswerAfterDelay(const Request& request) {
    answer_ = state_->router.Route(request);
    const auto decoded = PercentDecode(request.target).value_or("");
    const auto* rule = MatchRule(state_->options.delays, request.target, decoded);
    if (!rule || rule->value <= 0) return Respond();
    stream_.expires_never();
    delay_.expires_after(std::chrono::milliseconds(rule->value));
    delay_.async_wait([self = shared_from_this()](beast::error_code ec) {
        if (ec) return self->Close();
        self->Respond();
    });
}

void Session::Respond() {
    if (answer_.HasFileBody() && !headOnly_) {
        file_ = ::open(answer_.filePath.c_str(), O_RDONLY | O_CLOEXEC);
        if (file_ < 0) answer_ = TextAnswer(500, "cannot open the answer file");
    }
    head_ = {};
    head_.version(11);
    head_.result(static_cast<unsigned>(answer_.status));
    head_.set(http::field::server, "webservice");
    head_.set(http::field::content_type, answer_.contentType);
    head_.set(http::field::cache_control, "no-store");
    for (const auto& [name, value] : answer_.headers) head_.set(name, value);
    head_.content_length(answer_.BodySize());
    head_.keep_alive(keepAlive_);
    sent_ = 0;
    stream_.expires_after(kWriteTimeout);
    http::async_write(stream_, head_,
                      [self = shared_from_this()](beast::error_code ec, std::size_t) {
                          self->OnHeadWritten(ec);
                      });
}

void Session::OnHeadWritten(beast::error_code ec) {
    if (ec) return Close();
    if (headOnly_) return Finish();
    if (answer_.HasFileBody()) return WriteFileChunk();
    stream_.expires_after(kWriteTimeout);
    boost::asio::async_write(stream_, boost::asio::buffer(answer_.text),
                             [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                 self->OnBodyWritten(ec);
                             });
}

void Session::WriteFileChunk() {
    if (sent_ >= answer_.length) return Finish();
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, answer_.length - sent_));
    chunk_.resize(wanted);
    const ssize_t got =
        ::pread(file_, chunk_.data(), wanted, static_cast<off_t>(answer_.offset + sent_));
    // A file that shrank under us cannot give the promised length: end the connection.
    if (got <= 0) return Close();
    chunk_.resize(static_cast<std::size_t>(got));
    sent_ += static_cast<std::uint64_t>(got);
    stream_.expires_after(kWriteTimeout);
    boost::asio::async_write(stream_, boost::asio::buffer(chunk_),
                             [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                 if (ec) return self->Close();
                                 self->WriteFileChunk();
                             });
}

void Session::OnBodyWritten(beast::error_code ec) {
    if (ec) return Close();
    Finish();
}

void Session::Finish() {
    if (file_ >= 0) {
        ::close(file_);
        file_ = -1;
    }
    if (!keepAlive_) return Close();
    ReadRequest();
}

void Session::Close() {
    // Our side ends first; what the client still sends is read and dropped for a moment, so
    // that closing with unread bytes does not reset the connection before the client has
    // read the answer (a refused oversized request, say).
    beast::error_code ignored;
    stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kDrainTime);
    Drain();
}

void Session::Drain() {
    chunk_.resize(kChunkSize);
    stream_.async_read_some(boost::asio::buffer(chunk_),
                            [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                if (!ec) return self->Drain();
                                beast::error_code ignored;
                                self->stream_.socket().close(ignored);
                            });
}

}  // namespace webservice
